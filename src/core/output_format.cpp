// output_format.cpp — output formats.
#include "core/output_format.h"

namespace tovarn {

bool escapes_by_default(OutputFormatKind kind) {
  switch (kind) {
    case OutputFormatKind::HTML:
    case OutputFormatKind::XML:
    case OutputFormatKind::XHTML:
    case OutputFormatKind::CSS:
    case OutputFormatKind::RTF:
      return true;
    default:
      return false;
  }
}

}  // namespace tovarn
