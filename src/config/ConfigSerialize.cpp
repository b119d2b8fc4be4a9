#include "config/AppSettings.h"
#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "config/CFilter.h"
#include "config/CRule.h"
#include "config/CStation.h"

namespace {

// One field list for both directions keeps reading and writing in the same order.
void transfer(ArchiveReader& archive, std::string& field) { field = archive.readString(); }
void transfer(ArchiveReader& archive, int32_t& field) { field = archive.readInt32(); }
void transfer(ArchiveWriter& archive, const std::string& field) { archive.writeString(field); }
void transfer(ArchiveWriter& archive, const int32_t& field) { archive.writeInt32(field); }

template <typename Archive, typename Settings>
void transferSettings(Archive& archive, Settings& settings) {
#define KALVORA_TRANSFER_FIELD(member, ...) transfer(archive, settings.member);
  KALVORA_SETTINGS_FIELDS(KALVORA_TRANSFER_FIELD, KALVORA_TRANSFER_FIELD, KALVORA_TRANSFER_FIELD)
#undef KALVORA_TRANSFER_FIELD
}

template <typename Archive, typename Station>
void transferStation(Archive& archive, Station& station) {
  transfer(archive, station.alias);
  transfer(archive, station.aeTitle);
  transfer(archive, station.host);
  transfer(archive, station.port);
}

template <typename Archive, typename Rule>
void transferRule(Archive& archive, Rule& rule) {
  transfer(archive, rule.group);
  transfer(archive, rule.element);
  transfer(archive, rule.compareValue);
  transfer(archive, rule.destination);
}

template <typename Archive, typename Filter>
void transferFilter(Archive& archive, Filter& filter) {
  transfer(archive, filter.extension);
  transfer(archive, filter.description);
}

}  // namespace

void AppSettings::Serialize(ArchiveReader& archive) { transferSettings(archive, *this); }
void AppSettings::Serialize(ArchiveWriter& archive) const { transferSettings(archive, *this); }
void CStation::Serialize(ArchiveReader& archive) { transferStation(archive, *this); }
void CStation::Serialize(ArchiveWriter& archive) const { transferStation(archive, *this); }
void CRule::Serialize(ArchiveReader& archive) { transferRule(archive, *this); }
void CRule::Serialize(ArchiveWriter& archive) const { transferRule(archive, *this); }
void CFilter::Serialize(ArchiveReader& archive) { transferFilter(archive, *this); }
void CFilter::Serialize(ArchiveWriter& archive) const { transferFilter(archive, *this); }
