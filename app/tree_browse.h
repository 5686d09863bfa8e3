// The tree browse: the collection as one expandable tree in its own window,
// edited in place through the update forms.
#pragma once

namespace zephcol {

// `TREEBROWSE`: started from the frame's menu on a thread of its own; takes
// no parameters and sets GlobalResponse on leaving.
void TREEBROWSE();

}  // namespace zephcol
