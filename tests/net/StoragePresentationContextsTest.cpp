#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/cond.h>

#include "net/StoragePresentationContexts.h"

namespace {

struct Context {
  int id;
  std::string abstractSyntax;
  std::vector<std::string> transferSyntaxes;
};

struct ParamsDeleter {
  void operator()(T_ASC_Parameters* params) const { ASC_destroyAssociationParameters(&params); }
};

std::unique_ptr<T_ASC_Parameters, ParamsDeleter> newParams() {
  T_ASC_Parameters* params = nullptr;
  EXPECT_TRUE(ASC_createAssociationParameters(&params, 16384).good());
  return std::unique_ptr<T_ASC_Parameters, ParamsDeleter>(params);
}

std::vector<Context> proposedContexts(T_ASC_Parameters* params) {
  std::vector<Context> contexts;
  for (int i = 0; i < ASC_countPresentationContexts(params); ++i) {
    T_ASC_PresentationContext context;
    ASC_getPresentationContext(params, i, &context);
    Context c{context.presentationContextID, context.abstractSyntax, {}};
    for (int t = 0; t < context.transferSyntaxCount; ++t) {
      c.transferSyntaxes.push_back(context.proposedTransferSyntaxes[t]);
    }
    contexts.push_back(c);
  }
  return contexts;
}

const std::vector<std::string> kPreferred = {UID_LittleEndianExplicitTransferSyntax};
const std::vector<std::string> kFallback = {UID_BigEndianExplicitTransferSyntax,
                                            UID_LittleEndianImplicitTransferSyntax};

}  // namespace

// Every listed class is proposed, each in two contexts, within the 128 an association holds.
TEST(StoragePresentationContexts, AllStorageClassesTakeTwoContextsEach) {
  auto params = newParams();
  ASSERT_TRUE(AddStoragePresentationContexts(params.get(), {}, false).good());

  const std::vector<Context> contexts = proposedContexts(params.get());
  const std::vector<std::string>& listed = storageSopClassUids();
  ASSERT_FALSE(listed.empty());
  ASSERT_EQ(contexts.size(), 2 * listed.size());
  EXPECT_LE(contexts.size(), 128u);
  std::set<std::string> classes;
  for (size_t i = 0; i < contexts.size(); ++i) {
    EXPECT_EQ(contexts[i].id, static_cast<int>(2 * i + 1));
    EXPECT_EQ(contexts[i].abstractSyntax, listed[i / 2]);
    EXPECT_EQ(contexts[i].transferSyntaxes, i % 2 == 0 ? kPreferred : kFallback);
    classes.insert(contexts[i].abstractSyntax);
  }
  EXPECT_EQ(classes.size(), listed.size()) << "a class is listed twice";
}

TEST(StoragePresentationContexts, RequiredOnlyProposesEachClassOnceInOrderOfAppearance) {
  auto params = newParams();
  const std::vector<std::string> fromFiles = {UID_MRImageStorage, UID_CTImageStorage,
                                              UID_MRImageStorage, UID_SecondaryCaptureImageStorage,
                                              UID_CTImageStorage};
  ASSERT_TRUE(AddStoragePresentationContexts(params.get(), fromFiles, true).good());

  const std::vector<Context> contexts = proposedContexts(params.get());
  ASSERT_EQ(contexts.size(), 6u);
  const std::vector<std::string> expectedClasses = {UID_MRImageStorage, UID_CTImageStorage,
                                                    UID_SecondaryCaptureImageStorage};
  for (size_t i = 0; i < contexts.size(); ++i) {
    EXPECT_EQ(contexts[i].id, static_cast<int>(2 * i + 1));
    EXPECT_EQ(contexts[i].abstractSyntax, expectedClasses[i / 2]);
  }
}

TEST(StoragePresentationContexts, MoreThanSixtyFourClassesRunOutOfIds) {
  std::vector<std::string> classes;
  for (int i = 1; i <= 65; ++i)
    classes.push_back("1.2.826.0.1.3680043.2.1143.9." + std::to_string(i));

  auto fits = newParams();
  EXPECT_TRUE(AddStoragePresentationContexts(
                  fits.get(), std::vector<std::string>(classes.begin(), classes.end() - 1), true)
                  .good());
  EXPECT_EQ(proposedContexts(fits.get()).back().id, 255);

  auto tooMany = newParams();
  EXPECT_EQ(AddStoragePresentationContexts(tooMany.get(), classes, true),
            ASC_BADPRESENTATIONCONTEXTID);
}

// Classes found in the files come first, also those outside the standard list; their own
// compressed syntaxes follow; the standard list fills what is left of the 128 contexts.
TEST(StoragePresentationContexts, ClassesOfTheFilesFirstThenTheirSyntaxesThenTheList) {
  auto params = newParams();
  const std::vector<std::string> fromFiles = {UID_SegmentationStorage, UID_CTImageStorage,
                                              UID_SegmentationStorage};
  const std::vector<ClassInOwnSyntax> own = {
      {UID_CTImageStorage, UID_JPEG2000TransferSyntax},
      {UID_CTImageStorage, UID_JPEG2000TransferSyntax},
      {UID_SegmentationStorage, UID_RLELosslessTransferSyntax},
      {UID_MRImageStorage, UID_JPEGProcess1TransferSyntax},  // no file of its class: not proposed
  };
  ASSERT_TRUE(AddStoragePresentationContexts(params.get(), fromFiles, false, own).good());

  const std::vector<Context> contexts = proposedContexts(params.get());
  ASSERT_EQ(contexts.size(), 128u);
  EXPECT_EQ(contexts.back().id, 255);
  const std::vector<std::pair<std::string, std::vector<std::string>>> head = {
      {UID_SegmentationStorage, kPreferred},
      {UID_SegmentationStorage, kFallback},
      {UID_CTImageStorage, kPreferred},
      {UID_CTImageStorage, kFallback},
      {UID_CTImageStorage, {UID_JPEG2000TransferSyntax}},
      {UID_SegmentationStorage, {UID_RLELosslessTransferSyntax}},
  };
  for (size_t i = 0; i < head.size(); ++i) {
    EXPECT_EQ(contexts[i].abstractSyntax, head[i].first) << i;
    EXPECT_EQ(contexts[i].transferSyntaxes, head[i].second) << i;
  }
  // The standard classes follow, without CT again, two contexts each, as room allows.
  std::set<std::string> classes;
  for (size_t i = head.size(); i < contexts.size(); ++i) {
    EXPECT_NE(contexts[i].abstractSyntax, UID_CTImageStorage);
    EXPECT_EQ(contexts[i].transferSyntaxes, (i - head.size()) % 2 == 0 ? kPreferred : kFallback);
    classes.insert(contexts[i].abstractSyntax);
  }
  EXPECT_EQ(classes.size(), 61u);
}

// Without proposing only what is needed, more classes than fit are no error: those that fit
// are proposed.
TEST(StoragePresentationContexts, TooManyClassesOfTheFilesFillTheAssociation) {
  std::vector<std::string> classes;
  for (int i = 1; i <= 70; ++i)
    classes.push_back("1.2.826.0.1.3680043.2.1143.9." + std::to_string(i));
  auto params = newParams();
  EXPECT_TRUE(AddStoragePresentationContexts(params.get(), classes, false).good());
  const std::vector<Context> contexts = proposedContexts(params.get());
  ASSERT_EQ(contexts.size(), 128u);
  EXPECT_EQ(contexts.back().abstractSyntax, classes[63]);
}
