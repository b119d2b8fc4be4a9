#include "net/StoreResponseStatus.h"

#include <algorithm>
#include <iterator>

#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/diutil.h>

#include "net/TextFormat.h"

namespace {

// Coercion of data elements, elements discarded, data set does not match SOP class, and the
// general warnings (attribute list error, attribute value out of range, invalid value).
constexpr Uint16 kWarningStatuses[] = {0xB000, 0xB006, 0xB007, 0x0001, 0x0107, 0x0116};

}  // namespace

StoreOutcome classifyStoreStatus(Uint16 status) {
  if (status == STATUS_Success) return StoreOutcome::Stored;
  if (std::find(std::begin(kWarningStatuses), std::end(kWarningStatuses), status) !=
      std::end(kWarningStatuses)) {
    return StoreOutcome::StoredWithWarning;
  }
  return StoreOutcome::Refused;
}

std::string describeStoreStatus(Uint16 status) {
  return formatText("status 0x%04X (%s)", static_cast<unsigned>(status),
                    DU_cstoreStatusString(status));
}
