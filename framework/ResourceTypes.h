#pragma once
// The shapes of a program's declarative resources: dialog templates, menus, accelerator
// tables and the string table, and the set of them that a program hands to the framework.
// Plain data, looked up by id; the framework turns them into windows and texts.
#include <cstdint>
#include <span>

enum class TControlKind : std::uint8_t {
  Edit,          // single-line, or multi-line with MultiLine
  PushButton,    // owner-drawn with OwnerDraw
  Static,        // a text label
  EtchedFrame,   // a sunken-and-raised rectangle around other controls
  ComboBox,      // a drop-down list (with EditLine, any text can be typed over it); the height is
                 // that of the list when dropped down
  CheckBox,      // an automatic check box: a click toggles it
  SimpleCombo,   // an edit line with its list always shown below it
  Icon,          // an icon at its own size; the text names it as "#<icon id>"
  ProgressBar,   // a bar that fills from the left as work is done
  ListBox,       // a column of text rows, one of which may be selected
};

// Style bits of a template control.
namespace ControlStyle {
constexpr std::uint32_t Visible = 1u << 0;
constexpr std::uint32_t TabStop = 1u << 1;
constexpr std::uint32_t Border = 1u << 2;
constexpr std::uint32_t ClientEdge = 1u << 3;
constexpr std::uint32_t MultiLine = 1u << 4;
constexpr std::uint32_t ReadOnly = 1u << 5;
constexpr std::uint32_t AutoHScroll = 1u << 6;
constexpr std::uint32_t AutoVScroll = 1u << 7;
constexpr std::uint32_t HScroll = 1u << 8;
constexpr std::uint32_t VScroll = 1u << 9;
constexpr std::uint32_t OemConvert = 1u << 10;
constexpr std::uint32_t OwnerDraw = 1u << 11;
constexpr std::uint32_t CenterText = 1u << 12;
constexpr std::uint32_t DefaultButton = 1u << 13;
constexpr std::uint32_t RightAlign = 1u << 14;
constexpr std::uint32_t EditLine = 1u << 15;   // a combo box's face is an edit line
}

// Style bits of a dialog template.
namespace DialogStyle {
constexpr std::uint32_t CaptionOnly = 0;     // a caption bar without close box
constexpr std::uint32_t SysMenu = 1u << 0;   // a close box in the caption bar
// A window of its own beside its parent's (a modeless dialog), never a child area inside it.
constexpr std::uint32_t OwnWindow = 1u << 1;
}

// How a template control follows its dialog when the dialog is larger than its opening size:
// by default it keeps its place from the left and top edges and its size.
namespace ControlAnchor {
constexpr std::uint32_t StretchRight = 1u << 0;    // the right edge moves with the dialog's
constexpr std::uint32_t StretchBottom = 1u << 1;   // the bottom edge moves with the dialog's
constexpr std::uint32_t KeepRight = 1u << 2;       // moves with the right edge, keeping its width
}

// One control of a dialog template; the rectangle is in dialog units.
struct TControlTemplate {
  int Id;
  TControlKind Kind;
  const char* Text;
  int X, Y, Width, Height;
  std::uint32_t Style;
  std::uint32_t Anchor = 0;
};

struct TDialogTemplate {
  int Id;
  const char* Title;
  const char* FontName;
  int FontPointSize;
  int Width, Height;                            // dialog units
  std::span<const TControlTemplate> Controls;   // in template order
  std::uint32_t Style = DialogStyle::SysMenu;
};

// One item of a menu: a command, a pop-up with its items, or a separator.
enum class TMenuItemKind : std::uint8_t { Command, Popup, Separator };

struct TMenuItemTemplate {
  TMenuItemKind Kind;
  const char* Text;
  int Id;                                     // a command's id; 0 otherwise
  std::span<const TMenuItemTemplate> Items;   // a pop-up's items
};

// A menu bar. Separators between its top-level items are not shown: they split the items into
// the six menu groups file, edit, container, object, window and help, in this order.
struct TMenuTemplate {
  int Id;
  std::span<const TMenuItemTemplate> Items;
};

// Modifier bits of an accelerator; the key is a virtual-key code.
namespace AccelFlag {
constexpr std::uint8_t Shift = 1u << 0;
constexpr std::uint8_t Control = 1u << 1;
constexpr std::uint8_t Alt = 1u << 2;
}

namespace VirtualKey {
constexpr int Back = 0x08;
constexpr int Insert = 0x2D;
constexpr int Delete = 0x2E;
constexpr int A = 0x41;    // the letters A to Z follow on
constexpr int F1 = 0x70;   // F1 to F24 follow on
constexpr int F24 = 0x87;
}

struct TAcceleratorEntry {
  int Key;
  std::uint8_t Modifiers;
  int Command;
};

struct TAcceleratorTable {
  int Id;
  std::span<const TAcceleratorEntry> Entries;
};

struct TStringEntry {
  unsigned Id;
  const char* Text;
};

// All of a program's resources. Bitmaps and icons lie among Qt's resources, one file per id
// in a folder of their own (":/bitmap/1").
struct TResourceSet {
  std::span<const TDialogTemplate> Dialogs = {};
  std::span<const TMenuTemplate> Menus = {};
  std::span<const TAcceleratorTable> Accelerators = {};
  std::span<const TStringEntry> Strings = {};
  const char* BitmapFolder = "";
  const char* IconFolder = "";
};
