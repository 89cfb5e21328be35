#include "platform/spss/outputdoc/RichTextHandle.h"

#include "platform/spss/outputdoc/RtfDocument.h"

namespace korvana::spss {

using namespace korvana::automation;

HRESULT RichTextHandle::put_Content(const std::string& rtf) {
  OutputItem* item = activation_.item();
  if (!item) return OUTDOC_E_NOTACTIVE;
  item->richText = rtf;
  item->richTextReadable = RtfDocument::parse(rtf).has_value();
  return item->richTextReadable ? S_OK : OUTDOC_E_BADRTF;
}

}  // namespace korvana::spss
