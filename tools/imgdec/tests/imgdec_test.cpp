// tidelark-imgdec run as a program on every sample picture: the PNG it writes
// holds exactly what the program's own decoding gives.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "../../../platform/imgdecmp/tests/sample_pictures.h"
#include "gui/image_decode.h"
#include "platform/os.h"
#include "platform/png.h"
#include "platform/screenshot.h"

namespace {

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
  return w;
}

std::wstring ToolPath() {
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self, n);
  dir = dir.substr(0, dir.find_last_of(L"\\/"));
  return dir + L"\\..\\bin\\tidelark-imgdec.exe";
}

struct ToolRun {
  DWORD exit_code = 0xFFFFFFFF;
  std::string errors;
};

// Runs the tool with these arguments; its error output is collected.
ToolRun RunTool(const std::wstring& arguments) {
  ToolRun run;
  // A file per run, shared: a helper process of Wine's may still hold the last run's handle.
  static int runs = 0;
  std::string err_path =
      std::string(TIDELARK_TEST_OUTPUT) + "/imgdec/stderr-" + std::to_string(++runs) + ".txt";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE err = CreateFileW(Wide(err_path).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (err == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create " << err_path << ": error " << GetLastError();
    return run;
  }
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = err;
  si.hStdError = err;
  PROCESS_INFORMATION pi = {};
  std::wstring command = L"\"" + ToolPath() + L"\" " + arguments;
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    ADD_FAILURE() << "cannot start the tool";
    CloseHandle(err);
    return run;
  }
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
  GetExitCodeProcess(pi.hProcess, &run.exit_code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(err);
  platform::os::ReadWholeFile(err_path, &run.errors);
  return run;
}

std::wstring Quoted(const std::string& path) { return L"\"" + Wide(path) + L"\""; }

class ImgdecTool : public ::testing::Test {
 protected:
  void SetUp() override { platform::os::MakeDirectories(out_dir); }
  std::string out_dir = std::string(TIDELARK_TEST_OUTPUT) + "/imgdec";
};

TEST_F(ImgdecTool, EverySamplePictureOrAClearRefusal) {
  for (const sample_pictures::Picture& p : sample_pictures::kAll) {
    SCOPED_TRACE(p.name);
    std::string out = out_dir + "/" + p.name + ".png";
    platform::os::RemoveFile(out);
    ToolRun run = RunTool(Quoted(sample_pictures::PathOf(p.name)) + L" " + Quoted(out));
    std::string written;
    bool exists = platform::os::ReadWholeFile(out, &written) == 0;
    if (p.width == 0) {
      EXPECT_EQ(1u, run.exit_code) << "refused, not crashed";
      EXPECT_NE(std::string::npos, run.errors.find("is not a complete GIF or JPEG picture")) << run.errors;
      EXPECT_FALSE(exists) << "no output for a refused picture";
      continue;
    }
    ASSERT_EQ(0u, run.exit_code) << run.errors;
    ASSERT_TRUE(exists);
    // The same bytes as the program's own decoding, encoded the same way.
    std::string data = sample_pictures::Read(p.name);
    HBITMAP bitmap = VexaAppGUISystem::DecodeImage(reinterpret_cast<const BYTE*>(data.data()),
                                                   static_cast<DWORD>(data.size()));
    platform::Pixels px;
    ASSERT_TRUE(platform::CaptureBitmap(bitmap, &px));
    DeleteObject(bitmap);
    EXPECT_EQ(p.width, px.width);
    EXPECT_EQ(p.height, px.height);
    std::vector<unsigned char> expected = platform::EncodePng(px.width, px.height, px.data.data());
    EXPECT_EQ(std::string(expected.begin(), expected.end()), written);
  }
}

TEST_F(ImgdecTool, ArithmeticJpegWholeOrRefused) {
  std::string out = out_dir + "/arithmetic.png";
  ToolRun run = RunTool(Quoted(sample_pictures::PathOf(sample_pictures::kArithmeticJpeg)) + L" " + Quoted(out));
  if (run.exit_code == 0)
    EXPECT_NE(std::string::npos, run.errors.find("227 x 149")) << run.errors;
  else
    EXPECT_EQ(1u, run.exit_code) << run.errors;
}

TEST_F(ImgdecTool, BadArgumentsAndFiles) {
  ToolRun usage = RunTool(L"only-one");
  EXPECT_EQ(2u, usage.exit_code);
  EXPECT_NE(std::string::npos, usage.errors.find("usage")) << usage.errors;
  ToolRun missing = RunTool(Quoted(out_dir + "/no-such-picture.gif") + L" " + Quoted(out_dir + "/x.png"));
  EXPECT_EQ(1u, missing.exit_code);
  EXPECT_NE(std::string::npos, missing.errors.find("cannot read")) << missing.errors;
  ToolRun unwritable = RunTool(Quoted(sample_pictures::PathOf("pillow-hopper_resized.gif")) + L" " +
                           Quoted(out_dir + "/no-such-folder/x.png"));
  EXPECT_EQ(1u, unwritable.exit_code);
  EXPECT_NE(std::string::npos, unwritable.errors.find("cannot write")) << unwritable.errors;
}

}  // namespace
