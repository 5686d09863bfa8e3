// A seam for crash tests in the commit of a transaction over several files:
// the commit reports each step to a probe as it reaches it, and a test's
// probe may end the process there. The program sets no probe.
#pragma once

#include <functional>

namespace tavero::vmr {

enum class CommitStep {
  FilePrepared,       // one changed file finished commit phase one
  BeforeCommitPoint,  // every file prepared; the transaction still listed
  AfterCommitPoint,   // the transaction left the control file
  FileCommitted,      // one changed file finished commit phase two
};

using CommitProbe = std::function<void(CommitStep)>;

}  // namespace tavero::vmr
