// The one QApplication of a Qt test program, made on first use. It is never
// destroyed: a static one would go after Qt's own globals at exit.
#pragma once

#include <QApplication>

namespace tavero::ui::qt {

QApplication& TestApplication();

}  // namespace tavero::ui::qt
