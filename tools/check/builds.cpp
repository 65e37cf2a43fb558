#include "tools/check/answer_key.h"

namespace check {
namespace {
#include "answer_key.inc"  // generated: kKestravoKey
}  // namespace

// The first build is the one an address without a module name refers to.
const Build kBuilds[] = {
    {L"kestravo.exe", true, &kKestravoKey},
};
const size_t kBuildCount = sizeof kBuilds / sizeof kBuilds[0];

}  // namespace check
