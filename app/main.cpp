// Tidelark.exe: the news reader.
#include <windows.h>

#include <string>

#include "app/app.h"
#include "platform/automation.h"

std::string DescribeAppState();
void RunAutomationCommand(int command);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  if (platform::automation::InstallIfAsked()) {
    platform::automation::SetReporter(DescribeAppState);
    platform::automation::SetCommandRunner(RunAutomationCommand);
  }
  return TidelarkMain();
}
