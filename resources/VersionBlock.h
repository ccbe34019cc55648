#pragma once
// Builds a version block (layout in platform/Version.h) at compile time from a list of texts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct TVersionText {
  std::string_view Name;
  std::string_view Value;
};

namespace version_block {

constexpr std::size_t Align4(std::size_t n)
{
  return (n + 3) & ~std::size_t(3);
}

constexpr std::size_t Header(std::string_view name)
{
  return Align4(6 + name.size() + 1);
}

template <std::size_t N> constexpr std::size_t StringsLength(const std::array<TVersionText, N>& texts)
{
  std::size_t n = 0;
  for (const TVersionText& t : texts)
    n += Align4(Header(t.Name) + t.Value.size() + 1);
  return n;
}

template <std::size_t N> struct TLayout {
  std::string_view Table;   // the string table's name, "040904E4"
  std::uint16_t Language, CodePage;
  std::array<TVersionText, N> Texts;

  constexpr std::size_t TableLength() const { return Header(Table) + StringsLength(Texts); }
  constexpr std::size_t StringFileInfoLength() const { return Header("StringFileInfo") + TableLength(); }
  constexpr std::size_t VarFileInfoLength() const { return Header("VarFileInfo") + Header("Translation") + 4; }
  constexpr std::size_t Length() const
  {
    return Header("VS_VERSION_INFO") + StringFileInfoLength() + VarFileInfoLength();
  }
};

template <std::size_t Size> struct TWriter {
  std::array<std::uint8_t, Size> Bytes {};
  std::size_t At = 0;

  constexpr void U16(std::size_t v)
  {
    Bytes[At++] = std::uint8_t(v & 0xFF);
    Bytes[At++] = std::uint8_t(v >> 8);
  }
  constexpr void Text(std::string_view s)
  {
    for (char c : s)
      Bytes[At++] = std::uint8_t(c);
    Bytes[At++] = 0;
  }
  constexpr void Pad() { At = Align4(At); }
  constexpr void Node(std::size_t length, std::size_t valueLength, std::uint16_t type, std::string_view name)
  {
    U16(length);
    U16(valueLength);
    U16(type);
    Text(name);
    Pad();
  }
};

}   // namespace version_block

template <std::size_t Size, std::size_t N>
constexpr std::array<std::uint8_t, Size> MakeVersionBlock(const version_block::TLayout<N>& layout)
{
  static_assert(Size < 0x10000, "a version block node is at most 65535 bytes");
  version_block::TWriter<Size> w;
  w.Node(layout.Length(), 0, 0, "VS_VERSION_INFO");
  w.Node(layout.StringFileInfoLength(), 0, 1, "StringFileInfo");
  w.Node(layout.TableLength(), 0, 1, layout.Table);
  for (const TVersionText& t : layout.Texts) {
    w.Node(version_block::Header(t.Name) + t.Value.size() + 1, t.Value.size() + 1, 1, t.Name);
    w.Text(t.Value);
    w.Pad();
  }
  w.Node(layout.VarFileInfoLength(), 0, 1, "VarFileInfo");
  w.Node(version_block::Header("Translation") + 4, 4, 0, "Translation");
  w.U16(layout.Language);   // language in the low half, code page in the high half
  w.U16(layout.CodePage);
  return w.Bytes;
}
