#include "engine/ProximityMatrixRow.h"

#include "engine/KorvanaError.h"

namespace korvana {

ProximityMatrixRow::ProximityMatrixRow(int position, std::string name, std::string rowType)
    : position_(position), name_(std::move(name)), rowType_(std::move(rowType)) {
  if (position < 0) throw EKorvanaError("A proximity matrix row cannot have a negative position");
  values_ = std::make_unique<double[]>(static_cast<std::size_t>(position));
}

}  // namespace korvana
