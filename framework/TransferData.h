#pragma once
// One field of a transfer record, as the control that takes it sees it: the text buffer of an
// edit control (its size including the terminator), the state of a check box, the data of a
// combo box. A dialog hands the fields to its controls in creation order.
#include "framework/TComboBoxData.h"

#include <cstdint>
#include <span>
#include <variant>

enum class TTransferDirection { SetData, GetData };

using TTransferField = std::variant<std::span<char>, std::uint32_t*, TComboBoxData*>;
