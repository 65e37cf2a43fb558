#include "tools/check/answer_key.h"

namespace check {
namespace {
#include "kestravo_key.inc"       // generated: kKestravoKey
#include "kestravo-aslr_key.inc"  // generated: kAslrKey
#include "kestravo64_key.inc"     // generated: kKestravo64Key
}  // namespace

// The first build is the one an address without a module name refers to.
const Build kBuilds[] = {
    {L"kestravo.exe", true, &kKestravoKey},
    {L"kestravo-aslr.exe", false, &kAslrKey},
    {L"kestravo64.exe", true, &kKestravo64Key},
};
const size_t kBuildCount = sizeof kBuilds / sizeof kBuilds[0];

}  // namespace check
