#include "tools/check/answer_key.h"

namespace check {
namespace {
#include "kestravo_key.inc"       // generated: kKestravoKey
#include "kestravo-aslr_key.inc"  // generated: kAslrKey
}  // namespace

// The first build is the one an address without a module name refers to.
const Build kBuilds[] = {
    {L"kestravo.exe", true, &kKestravoKey},
    {L"kestravo-aslr.exe", false, &kAslrKey},
};
const size_t kBuildCount = sizeof kBuilds / sizeof kBuilds[0];

}  // namespace check
