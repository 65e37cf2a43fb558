#include "script/text.h"

namespace script {

Text ToLowerText(const Text& text) {
  Text lowered;
  lowered.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      lowered += text[i];
      // A lead byte at the very end has no trail byte to carry along.
      if (i + 1 < text.size()) lowered += text[++i];
    } else if (byte >= 'A' && byte <= 'Z') {
      lowered += static_cast<char>(byte - 'A' + 'a');
    } else {
      lowered += text[i];
    }
  }
  return lowered;
}

}  // namespace script
