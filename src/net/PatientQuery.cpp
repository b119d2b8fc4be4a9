#include "net/PatientQuery.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcsequen.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/diutil.h>
#include <dcmtk/dcmnet/scu.h>

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "net/LowLatencyTransportLayer.h"
#include "net/SecureTransportLayer.h"

namespace {

// As for a store: the station may take a while to search, whatever the time-out for
// reaching it. A query that waits can still be cut.
constexpr int kFindWaitFloorMs = 60000;

PatientQueryResult failed(std::string message) {
  PatientQueryResult result;
  result.message = std::move(message);
  return result;
}

int wholeSecondsAtLeastOne(int milliseconds) {
  return milliseconds <= 0 ? 1 : (milliseconds + 999) / 1000;
}

const char* abstractSyntaxOf(QueryModel model) {
  return model == QueryModel::PatientRoot ? UID_FINDPatientRootQueryRetrieveInformationModel
                                          : UID_FINDModalityWorklistInformationModel;
}

std::string statusText(Uint16 status) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%04X", status);
  return std::string("0x") + hex;
}

std::string read(DcmItem& item, const DcmTagKey& tag) {
  OFString value;
  if (item.findAndGetOFString(tag, value).bad()) return {};
  return value.c_str();
}

// Stations match names byte for byte in the character set they store, so a non-ASCII
// family name would find nothing where the names are kept in Latin-1. Only the part before
// the first non-ASCII character is sent; the rest is matched here, on the UTF-8 answers.
std::string asciiPrefix(const std::string& text) {
  size_t end = 0;
  while (end < text.size() && static_cast<unsigned char>(text[end]) < 0x80) ++end;
  return text.substr(0, end);
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Return keys are sent empty: the station fills in what it knows.
DcmDataset queryKeys(const PatientQueryKeys& keys, QueryModel model) {
  DcmDataset query;
  query.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
  if (model == QueryModel::PatientRoot) query.putAndInsertString(DCM_QueryRetrieveLevel, "PATIENT");
  const std::string sentName = asciiPrefix(keys.familyName);
  query.putAndInsertString(DCM_PatientName, sentName.empty() ? "" : (sentName + "*").c_str());
  query.putAndInsertString(DCM_PatientID, "");
  query.putAndInsertString(DCM_IssuerOfPatientID, "");
  query.putAndInsertString(DCM_PatientBirthDate, keys.birthDate.c_str());
  query.putAndInsertString(DCM_PatientSex, keys.sex.c_str());
  if (model == QueryModel::Worklist) {
    query.putAndInsertString(DCM_AccessionNumber, "");
    query.putAndInsertString(DCM_RequestedProcedureDescription, "");
    DcmItem* step = nullptr;
    if (query.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step).good()) {
      step->putAndInsertString(DCM_ScheduledProcedureStepDescription, "");
      step->putAndInsertString(DCM_ScheduledProcedureStepStartDate, "");
      step->putAndInsertString(DCM_Modality, "");
    }
  }
  return query;
}

PatientMatch matchFrom(DcmDataset& answer) {
  // Names in any declared character set are read as UTF-8; an answer DCMTK cannot convert
  // is shown as it came.
  answer.convertToUTF8();
  PatientMatch match;
  match.patientId = read(answer, DCM_PatientID);
  match.issuer = read(answer, DCM_IssuerOfPatientID);
  match.patientName = read(answer, DCM_PatientName);
  match.birthDate = read(answer, DCM_PatientBirthDate);
  match.sex = read(answer, DCM_PatientSex);
  match.accessionNumber = read(answer, DCM_AccessionNumber);
  DcmItem* step = nullptr;
  if (answer.findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0).good() && step)
    match.scheduledProcedure = read(*step, DCM_ScheduledProcedureStepDescription);
  if (match.scheduledProcedure.empty())
    match.scheduledProcedure = read(answer, DCM_RequestedProcedureDescription);
  return match;
}

// DcmSCU hands a transport layer of one's own to DCMTK as a "secure" one; ours is plain
// TCP with bounded waits that another thread can cut.
class QueryTransportLayer : public LowLatencyTransportLayer {
 public:
  using LowLatencyTransportLayer::LowLatencyTransportLayer;
  DcmTransportConnection* createConnection(DcmNativeSocketType openSocket, OFBool) override {
    return LowLatencyTransportLayer::createConnection(openSocket, OFFalse);
  }
};

}  // namespace

class PatientQueryScu : public DcmSCU {
 public:
  explicit PatientQueryScu(const std::atomic<bool>& cut) : cut_(cut) {}
  OFCondition useTransportLayer(DcmTransportLayer* layer) { return useSecureConnection(layer); }
  size_t answers = 0;
  bool truncated = false;

 protected:
  OFCondition handleFINDResponse(const T_ASC_PresentationContextID presID, QRResponse* response,
                                 OFBool& waitForNextResponse) override {
    const OFCondition condition = DcmSCU::handleFINDResponse(presID, response, waitForNextResponse);
    if (response != nullptr && response->m_dataset != nullptr) ++answers;
    if (answers > PatientQuery::kMaxMatches) {
      truncated = true;
      waitForNextResponse = OFFalse;
    }
    if (cut_) waitForNextResponse = OFFalse;
    return condition;
  }

 private:
  const std::atomic<bool>& cut_;
};

PatientQuery::PatientQuery(PatientQueryParams params)
    : params_(std::move(params)),
      layer_(std::make_unique<QueryTransportLayer>(params_.timeoutMs)),
      scu_(std::make_unique<PatientQueryScu>(cut_)) {}

PatientQuery::~PatientQuery() = default;

void PatientQuery::cut() {
  cut_ = true;
  layer_->abort();
}

PatientQueryResult PatientQuery::run(const PatientQueryKeys& keys) {
  PatientQueryResult result;
  try {
    result = exchange(keys);
  } catch (...) {
    result = failed("The query failed unexpectedly.");
  }
  if (cut_) result = failed("The query was cancelled.");
  return result;
}

PatientQueryResult PatientQuery::exchange(const PatientQueryKeys& keys) {
  const QueryStation& station = params_.station;
  const std::string peer = describeQueryStation(station);
  PatientQueryScu& scu = *scu_;
  const int seconds = wholeSecondsAtLeastOne(params_.timeoutMs);
  scu.setAETitle(params_.callingAeTitle.c_str());
  scu.setPeerAETitle(station.aeTitle.c_str());
  scu.setPeerHostName(station.host.c_str());
  scu.setPeerPort(static_cast<Uint16>(station.port));
  scu.setMaxReceivePDULength(static_cast<Uint32>(params_.maxPduSize));
  scu.setConnectionTimeout(seconds);
  scu.setACSETimeout(static_cast<Uint32>(seconds));
  scu.setDIMSETimeout(static_cast<Uint32>(seconds));
  scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
  const char* abstractSyntax = abstractSyntaxOf(station.model);
  OFList<OFString> transferSyntaxes;
  transferSyntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
  transferSyntaxes.push_back(UID_BigEndianExplicitTransferSyntax);
  transferSyntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
  scu.addPresentationContext(abstractSyntax, transferSyntaxes);

  OFCondition cond = scu.initNetwork();
  if (cond.good() && station.tls.enabled) {
    secureLayer_ = std::make_unique<SecureTransportLayer>(*layer_);
    cond = secureLayer_->configure(station.tls);
    if (cond.bad()) return failed(std::string("TLS: ") + cond.text());
    cond = scu.useTransportLayer(secureLayer_.get());
  } else if (cond.good()) {
    cond = scu.useTransportLayer(layer_.get());
  }
  if (cond.bad()) return failed(std::string("Cannot initialize the network: ") + cond.text());
  cond = scu.negotiateAssociation();
  if (cond.bad() && secureLayer_ && !secureLayer_->certificateProblem().empty())
    return failed("certificate of '" + station.aeTitle +
                  "' not trusted: " + secureLayer_->certificateProblem());
  if (cond == NET_EC_NoAcceptablePresentationContexts)
    return failed("The station " + peer + " does not answer this kind of query.");
  if (cond.bad()) {
    if (cond == DUL_ASSOCIATIONREJECTED)
      return failed(
          "The station " + peer + " refused the association: check that it knows our AE title '" +
          params_.callingAeTitle + "' and answers " + queryModelName(station.model) + " queries.");
    return failed("Could not reach the station " + peer + " (" + cond.text() +
                  "). Check the address and port, and that the station is running.");
  }
  const T_ASC_PresentationContextID context = scu.findPresentationContextID(abstractSyntax, "");
  if (context == 0) return failed("The station " + peer + " does not answer this kind of query.");

  const int findWaitMs = std::max(params_.timeoutMs, kFindWaitFloorMs);
  layer_->setWaitLimit(findWaitMs);
  scu.setDIMSETimeout(static_cast<Uint32>(wholeSecondsAtLeastOne(findWaitMs)));
  DcmDataset query = queryKeys(keys, station.model);
  OFList<QRResponse*> responses;
  cond = scu.sendFINDRequest(context, &query, &responses);
  PatientQueryResult result;
  Uint16 finalStatus = STATUS_Success;
  for (QRResponse* response : responses) {
    if (response->m_dataset != nullptr && result.matches.size() < kMaxMatches) {
      PatientMatch match = matchFrom(*response->m_dataset);
      if (startsWith(familyNameOf(match.patientName), keys.familyName))
        result.matches.push_back(std::move(match));
    }
    finalStatus = response->m_status;
    delete response;
  }
  // Stations answer in any order; the clerk reads a list sorted by name.
  std::stable_sort(result.matches.begin(), result.matches.end(),
                   [](const PatientMatch& a, const PatientMatch& b) {
                     return std::tie(a.patientName, a.birthDate, a.patientId) <
                            std::tie(b.patientName, b.birthDate, b.patientId);
                   });
  result.truncated = scu.truncated;
  if (cond.bad()) {
    result.matches.clear();
    result.message = "The station " + peer + " did not answer the query: " + cond.text();
    return result;
  }
  if (scu.truncated) {
    scu.abortAssociation();  // the station is still sending: no orderly release
  } else if (finalStatus != STATUS_Success && !DICOM_PENDING_STATUS(finalStatus)) {
    result.matches.clear();
    result.message =
        "The station " + peer + " answered the query with status " + statusText(finalStatus) + ".";
    scu.abortAssociation();
    return result;
  } else {
    scu.releaseAssociation();
  }
  result.ok = true;
  return result;
}

std::string describeQueryStation(const QueryStation& station) {
  return station.aeTitle + " at " + station.host + ":" + std::to_string(station.port) + " (" +
         queryModelName(station.model) + ")";
}

std::string describeChosenMatch(const PatientMatch& match, const QueryStation& station) {
  const std::string issuer = match.issuer.empty() ? "" : " (" + match.issuer + ")";
  return match.patientId + issuer + " from " + describeQueryStation(station);
}

std::string familyNameOf(const std::string& personName) {
  return personName.substr(0, personName.find('^'));
}
