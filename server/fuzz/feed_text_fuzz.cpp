// Feed text as it comes off the network: the entity pass before the XML
// parser, the entity decoding after it, dates, and the code page encoders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device_text.h"
#include "feed_parser.h"
#include "html_entities.h"

using namespace tidelark_server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  MakeEntitiesXmlSafe(text);
  std::string decoded = DecodeHtmlEntities(text, true);
  DecodeHtmlEntities(text, false);
  ParseFeedDate(text.substr(0, 256));
  for (int cp : {1250, 1251, 1252, 1256, 1258}) {
    std::string device = ToDeviceText(decoded, cp, true);
    FromDeviceText(device, cp);
  }
  RepairC1(text);
  return 0;
}
