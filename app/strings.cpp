#include "app/commands.h"

namespace {
StringSource g_source = nullptr;
}

void SetStringSource(StringSource source) { g_source = source; }

const wchar_t* AppString(int id) {
  const wchar_t* text = g_source ? g_source(id) : nullptr;
  return text ? text : L"";
}

bool TitleIs(const std::wstring& title, int id) {
  const wchar_t* text = g_source ? g_source(id) : nullptr;
  return text && *text && title == text;
}
