#include "settings/TComSetupXfer.h"

#include <iterator>

namespace {

int PositionOr(const TComboBoxData& data, int count, int fallback)
{
  const int index = data.GetSelIndex();
  return index >= 0 && index < count ? index : fallback;
}

}   // namespace

TLineSettings TComSetupXfer::LineSettings() const
{
  const int typed = BaudRateOf(BaudRateData.GetSelection());
  return TLineSettings {
    typed ? typed : BaudRateTable[PositionOr(BaudRateData, int(std::size(BaudRateTable)), DefaultBaudRate)],
    PositionOr(DataBitsData, int(std::size(DataBitsEntries)), DefaultDataBits) + LeastByteSize,
    PositionOr(StopBitsData, int(std::size(StopBitsEntries)), DefaultStopBits),
    PositionOr(ParityData, int(std::size(ParityEntries)), DefaultParity),
    PositionOr(HandshakeData, int(std::size(HandshakeEntries)), DefaultHandshake),
    SetDtrCheck != 0,
    SetRtsCheck != 0,
    UseCtsCheck != 0,
    UseDsrCheck != 0,
  };
}
