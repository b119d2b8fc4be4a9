#include "StatusStation.h"

#include <atomic>
#include <mutex>
#include <stdexcept>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcobject.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scp.h>

#include "StoreScpPeer.h"

class StatusStation::Provider : public DcmSCP {
 public:
  explicit Provider(Uint16 status) : status_(status) {}

  std::atomic<bool> stop{false};

  std::vector<std::string> received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 protected:
  OFCondition handleIncomingCommand(T_DIMSE_Message* message,
                                    const DcmPresentationContextInfo& context) override {
    if (message->CommandField != DIMSE_C_STORE_RQ)
      return DcmSCP::handleIncomingCommand(message, context);
    DcmDataset* dataset = nullptr;
    const OFCondition result =
        handleSTORERequest(message->msg.CStoreRQ, context.presentationContextID, dataset);
    delete dataset;
    return result;
  }

  Uint16 checkSTORERequest(T_DIMSE_C_StoreRQ&, DcmDataset* dataset) override {
    OFString instance;
    if (dataset != nullptr) dataset->findAndGetOFString(DCM_SOPInstanceUID, instance);
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(instance.c_str());
    return status_;
  }

  // The listening loop looks at the flag once a second, when no connection came.
  OFBool stopAfterConnectionTimeout() override { return stop.load(); }
  OFBool stopAfterCurrentAssociation() override { return stop.load(); }

 private:
  const Uint16 status_;
  mutable std::mutex mutex_;
  std::vector<std::string> received_;
};

StatusStation::StatusStation(Uint16 status, const std::string& aeTitle)
    : provider_(std::make_unique<Provider>(status)), port_(freeLoopbackPort()) {
  provider_->setPort(static_cast<Uint16>(port_));
  provider_->setAETitle(aeTitle.c_str());
  provider_->setHostLookupEnabled(OFFalse);
  provider_->setConnectionBlockingMode(DUL_NOBLOCK);
  provider_->setConnectionTimeout(1);
  OFList<OFString> syntaxes;
  syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
  syntaxes.push_back(UID_BigEndianExplicitTransferSyntax);
  syntaxes.push_back(UID_LittleEndianImplicitTransferSyntax);
  for (int i = 0; i < numberOfDcmAllStorageSOPClassUIDs; ++i)
    provider_->addPresentationContext(dcmAllStorageSOPClassUIDs[i], syntaxes);
  provider_->setEnableVerification();
  listener_ = std::thread([this] { provider_->listen(); });
  if (!waitForListener(port_, 5000)) {
    provider_->stop = true;
    listener_.join();
    throw std::runtime_error("the status station did not start");
  }
}

StatusStation::~StatusStation() {
  provider_->stop = true;
  listener_.join();
  // DCMTK's listener turns the process-wide input data correction off, which Kalvora (a
  // client only) never does: later tests in the same process read files as Kalvora does.
  dcmEnableAutomaticInputDataCorrection.set(OFTrue);
}

std::vector<std::string> StatusStation::receivedInstances() const { return provider_->received(); }
