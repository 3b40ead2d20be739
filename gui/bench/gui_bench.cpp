// Toolkit costs against bare GDI calls in the same run, under Wine:
//   tools/wine-run build/windows/benchmarks/gui_bench.exe [iterations]
// Prints one BENCH line per comparison.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <initguid.h>
#include <wincodec.h>

#include <fstream>
#include <iterator>
#include <string>

#include "../demo/gallery.h"
#include "gui/button.h"
#include "gui/image_decode.h"
#include "gui/window_box.h"

using namespace VexaAppGUISystem;

namespace {

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(f.QuadPart);
}

int CountBoxes(Box* b) {
  int n = 1;
  for (int i = 0; i < b->GetChildCount(); ++i) n += CountBoxes(b->GetChild(i));
  return n;
}

// The peer: `calls` bare FillRect + DrawTextW pairs on the window's dc.
double Peer(HWND hwnd, int calls, int iterations) {
  HBRUSH brush = CreateSolidBrush(RGB(230, 236, 246));
  double t0 = Seconds();
  for (int it = 0; it < iterations; ++it) {
    HDC dc = GetDC(hwnd);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < calls; ++i) {
      RECT r = {4, (i * 13) % 280, 120, (i * 13) % 280 + 18};
      FillRect(dc, &r, brush);
      DrawTextW(dc, L"Label", -1, &r, DT_NOPREFIX | DT_SINGLELINE);
    }
    ReleaseDC(hwnd, dc);
  }
  double t = Seconds() - t0;
  DeleteObject(brush);
  return t;
}

// The peer of DecodeImage: WIC straight into a 32-bit DIB, with COM and the
// factory kept between pictures, where DecodeImage loads the decoder library
// for every picture as the program's loader does.
double PeerDecode(const std::string& data, int iterations) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IWICImagingFactory* factory = nullptr;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                   reinterpret_cast<void**>(&factory));
  double t0 = Seconds();
  for (int i = 0; i < iterations && factory; ++i) {
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    factory->CreateStream(&stream);
    stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(data.data())), static_cast<DWORD>(data.size()));
    factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder);
    UINT w = 0, h = 0;
    if (decoder && SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame, &converted))) {
      converted->GetSize(&w, &h);
      BITMAPINFO bi = {};
      bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
      bi.bmiHeader.biWidth = static_cast<LONG>(w);
      bi.bmiHeader.biHeight = -static_cast<LONG>(h);
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      void* bits = nullptr;
      HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
      converted->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits));
      DeleteObject(b);
    }
    for (IUnknown* u : {static_cast<IUnknown*>(converted), static_cast<IUnknown*>(frame),
                        static_cast<IUnknown*>(decoder), static_cast<IUnknown*>(stream)})
      if (u) u->Release();
  }
  double t = Seconds() - t0;
  if (factory) factory->Release();
  CoUninitialize();
  return t;
}

void Report(const char* name, double ours, double peer) {
  std::printf("BENCH %s ours=%.6f peer=%.6f ratio=%.3f\n", name, ours, peer, peer > 0 ? ours / peer : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  int iterations = argc > 1 ? std::atoi(argv[1]) : 200;
  if (iterations <= 0) iterations = 200;

  // Full repaint of the gallery through its back buffer.
  {
    gallery::Gallery g;
    if (!g.Create(true)) return 1;
    WindowBox& w = g.Window();
    int boxes = CountBoxes(&w);
    w.InvalidateAll();
    double t0 = Seconds();
    for (int i = 0; i < iterations; ++i) w.InvalidateAll();
    double ours = Seconds() - t0;
    double peer = Peer(w.GetHandle(), boxes, iterations);
    std::printf("# gallery: %d boxes, %d repaints; peer draws %d FillRect+DrawTextW per repaint\n", boxes,
                iterations, boxes);
    Report("gui/gallery_repaint", ours, peer);
  }

  // For reading the figures: the fixed cost of one back-buffered repaint.
  {
    WindowBox empty;
    empty.SetSize(0, 240, nullptr, 1);
    empty.SetSize(1, 320, nullptr, 1);
    empty.SetStyle(WS_POPUP);
    if (empty.Create(true, nullptr, nullptr, false)) {
      empty.InvalidateAll();
      double t0 = Seconds();
      for (int i = 0; i < iterations; ++i) empty.InvalidateAll();
      std::printf("# empty 240x320 window box: %.3f ms per repaint\n", (Seconds() - t0) * 1000 / iterations);
      empty.Close(0);
    }
  }

  // Relayout of a 200-row column of compound check boxes.
  {
    const int rows = 200;
    WindowBox w;
    w.SetSize(0, 240, nullptr, 1);
    w.SetSize(1, 320, nullptr, 1);
    w.SetStyle(WS_POPUP);
    if (!w.Create(true, nullptr, nullptr, false)) return 1;
    Bar column;
    column.SetOrientation(1);
    column.SetSpacing(2);
    w.AddChild(&column, &w);
    std::vector<std::unique_ptr<CCheckBoxEx>> boxes;
    HDC screen = GetDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(screen, 14, 14);
    ReleaseDC(nullptr, screen);
    for (int i = 0; i < rows; ++i) {
      boxes.emplace_back(new CCheckBoxEx);
      CCheckBoxEx* c = boxes.back().get();
      c->Build(0, 0);
      c->SetImages(bm, bm, bm, false, 0, false);
      c->SetLabelText(L"Channel row with a label", 0, -1, 0xFFFFFF, true, false, false, false);
      column.AddChild(c, &column);
    }
    w.SetScrollable(1, true);
    w.SetShown(false, true);  // layout only: painting is measured above
    int layout_iterations = iterations / 4 > 10 ? iterations / 4 : 10;
    double t0 = Seconds();
    for (int i = 0; i < layout_iterations; ++i) {
      column.SetSpacing(2 + (i & 1));  // every row moves
      column.Arrange();
    }
    double ours = Seconds() - t0;
    double peer = Peer(w.GetHandle(), rows, layout_iterations);
    std::printf("# column: %d compound check boxes, %d relayouts; peer draws %d FillRect+DrawTextW per relayout\n",
                rows, layout_iterations, rows);
    Report("gui/checkbox_column_relayout", ours, peer);
    w.SetShown(true, true);
    boxes.clear();
    w.RemoveChild(&column);
    w.Close(0);
    DeleteObject(bm);
  }
  // Decoding a skin-sized picture through the decoder library.
  {
    std::string path = std::string(TIDELARK_SHARED_DATA) + "/images/pillow-hopper_resized.gif";
    std::ifstream in(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.empty()) {
      std::printf("# no sample picture at %s: decode row skipped\n", path.c_str());
      return 0;
    }
    int decodes = iterations / 4 > 10 ? iterations / 4 : 10;
    auto decode_all = [&] {
      double t0 = Seconds();
      for (int i = 0; i < decodes; ++i)
        DeleteObject(DecodeImage(reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())));
      return Seconds() - t0;
    };
    double alone = decode_all();
    double ours;
    {
      ImageResources program;  // as the program decodes: its image resources open
      program.Open();
      ours = decode_all();
    }
    double peer = PeerDecode(data, decodes);
    std::printf("# decode: a 64x64 GIF, %d times; peer keeps COM and WIC's factory between pictures;\n", decodes);
    std::printf("# without open image resources (library and COM made each time): %.3f ms a picture\n",
                alone * 1000 / decodes);
    Report("gui/decode_image", ours, peer);
  }
  return 0;
}
