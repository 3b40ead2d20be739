#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tapi.h"

namespace {

// The name of each line device, as a caller walks them.
std::vector<std::wstring> LineNames(HLINEAPP app, DWORD count) {
  std::vector<std::wstring> names;
  for (DWORD d = 0; d < count; ++d) {
    DWORD version = 0;
    LINEEXTENSIONID ext;
    EXPECT_EQ(0, lineNegotiateAPIVersion(app, d, 0x00010004, TAPI_CURRENT_VERSION, &version, &ext));
    std::vector<BYTE> buffer(sizeof(LINEDEVCAPS) + 256);
    LINEDEVCAPS* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(0, lineGetDevCaps(app, d, version, 0, caps));
    names.emplace_back(reinterpret_cast<const wchar_t*>(buffer.data() + caps->dwLineNameOffset));
  }
  return names;
}

TEST(Tapi, LinesAndOperator) {
  HLINEAPP app = nullptr;
  DWORD count = 0, version = TAPI_CURRENT_VERSION;
  ASSERT_EQ(0, lineInitializeEx(&app, nullptr, nullptr, L"test", &count, &version, nullptr));
  ASSERT_EQ(2u, count);
  std::vector<std::wstring> names = LineNames(app, count);
  EXPECT_EQ(L"Cellular Line", names[1]);

  HLINE line = nullptr;
  ASSERT_EQ(0, lineOpen(app, 1, &line, version, 0, 0, LINECALLPRIVILEGE_NONE, 0, nullptr));
  LINEOPERATOR op;
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", nullptr);
  EXPECT_EQ(LINEERR_OPERATIONUNAVAIL, lineGetCurrentOperator(line, &op));
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", L"Harbour Mobile With A Very Long Operator Name");
  ASSERT_EQ(0, lineGetCurrentOperator(line, &op));
  EXPECT_EQ(std::wstring(L"Harbour Mobile With A Very Long").substr(0, LINEOPERATOR_MAX_LENGTH - 1),
            op.lpszLongName);
  EXPECT_TRUE(op.dwValidFields & LINEOPFORMAT_ALPHALONG);
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", nullptr);
  EXPECT_EQ(0, lineClose(line));
  EXPECT_EQ(LINEERR_INVALLINEHANDLE, lineClose(nullptr));

  // The modem line has no operator.
  ASSERT_EQ(0, lineOpen(app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_NONE, 0, nullptr));
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", L"Harbour Mobile");
  EXPECT_EQ(LINEERR_OPERATIONUNAVAIL, lineGetCurrentOperator(line, &op));
  SetEnvironmentVariableW(L"TIDELARK_OPERATOR", nullptr);
  lineClose(line);

  EXPECT_EQ(LINEERR_BADDEVICEID, lineOpen(app, 2, &line, version, 0, 0, LINECALLPRIVILEGE_NONE, 0, nullptr));
  EXPECT_EQ(0, lineShutdown(app));
}

TEST(Tapi, DevCapsTooSmall) {
  HLINEAPP app = nullptr;
  DWORD count = 0;
  ASSERT_EQ(0, lineInitializeEx(&app, nullptr, nullptr, L"test", &count, nullptr, nullptr));
  LINEDEVCAPS caps;
  caps.dwTotalSize = sizeof caps - 4;
  EXPECT_EQ(LINEERR_STRUCTURETOOSMALL, lineGetDevCaps(app, 1, TAPI_CURRENT_VERSION, 0, &caps));
  // The fixed part fits but not the name: the needed size says how much to give.
  caps.dwTotalSize = sizeof caps;
  ASSERT_EQ(0, lineGetDevCaps(app, 1, TAPI_CURRENT_VERSION, 0, &caps));
  EXPECT_EQ(sizeof caps + sizeof(L"Cellular Line"), caps.dwNeededSize);
  EXPECT_EQ(0u, caps.dwLineNameSize);
  lineShutdown(app);
}

}  // namespace
