#include "crypto/as_component.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

class Sample : public TAS_Component {
public:
  using TAS_Component::TAS_Component;
  std::string ClassName() const override { return "Sample"; }
  std::vector<std::string> heard;
  void LinkedChanged(TAS_Component* sender, const std::string& prop) override {
    heard.push_back(sender->Name() + "." + prop);
  }
};
class Other : public Sample {
public:
  using Sample::Sample;
  std::string ClassName() const override { return "Other"; }
};

const TComponentClass kSampleClass{"Sample", [](TComponent* o) -> TComponent* { return new Sample(o); }};
const TComponentClass kOtherClass{"Other", [](TComponent* o) -> TComponent* { return new Other(o); }};
const TComponentClass kPlainClass{"TComponent", [](TComponent* o) { return new TComponent(o); }};

TEST(AlgorithmRegistry, FirstNameWinsAndOidLinesAreKeptOnce) {
  RegisterAlgorithm("TestAlgo", "1.9.1", &kSampleClass);
  RegisterAlgorithm("testalgo", "1.9.2", &kOtherClass);  // name taken: class kept, OID added
  RegisterAlgorithm("TestAlgo", "1.9.1", &kSampleClass);
  RegisterAlgorithm("", "1.9.3", &kOtherClass);  // registers nothing
  RegisterAlgorithm("TestPlain", "1.9.4", &kPlainClass);

  EXPECT_EQ(FindAlgorithmClass("TESTALGO"), &kSampleClass);
  EXPECT_EQ(FindAlgorithmClass("Unknown"), nullptr);
  EXPECT_EQ(AlgorithmNameOfOID("1.9.1"), "TestAlgo");
  EXPECT_EQ(AlgorithmNameOfOID("1.9.2"), "testalgo");
  EXPECT_EQ(AlgorithmNameOfOID("1.9"), "");
  EXPECT_EQ(AlgorithmNameOfOID("1.9.3"), "");
  EXPECT_EQ(AlgorithmNameOfOID(""), "");
  EXPECT_EQ(FindAlgorithmClassByOID("1.9.2"), &kSampleClass);

  auto created = CreateAlgorithmByOID("1.9.2");
  ASSERT_NE(created, nullptr);
  auto* sample = dynamic_cast<Sample*>(created.get());
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->ClassName(), "Sample");
  EXPECT_EQ(sample->ObjectID(), "1.9.2");
  EXPECT_EQ(sample->AlgorithmName(), "testalgo");
  EXPECT_EQ(created->Owner(), nullptr);
  EXPECT_EQ(CreateAlgorithmByOID("1.9.9"), nullptr);
  EXPECT_NE(CreateAlgorithmByOID("1.9.4"), nullptr);  // not a kit component: no OID to set
}

TEST(KitComponent, ObjectIdChangeNotifiesLinkedComponentsUntilTheyAreGone) {
  RegisterAlgorithm("TestAlgo", "1.9.1", &kSampleClass);
  Sample digest;
  digest.SetName("digest");
  int changes = 0;
  digest.OnChangeOID = [&](TComponent* s) { changes += s == &digest; };
  auto* rsa = new Sample;
  Sample rsa2;
  rsa->LinkTo(&digest);
  rsa->LinkTo(&digest);  // once only
  rsa2.LinkTo(&digest);
  rsa->LinkTo(nullptr);
  EXPECT_EQ(digest.LinkedComponents().size(), 2u);

  digest.SetObjectID("1.9.1");
  digest.SetObjectID("1.9.1");  // unchanged: nothing happens
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(digest.AlgorithmName(), "TestAlgo");
  EXPECT_EQ(rsa->heard, std::vector<std::string>{"digest.ObjectID"});
  EXPECT_EQ(rsa2.heard, std::vector<std::string>{"digest.ObjectID"});

  delete rsa;  // drops out of the list by free notification
  rsa2.UnlinkFrom(&digest);
  EXPECT_TRUE(digest.LinkedComponents().empty());
  digest.SetObjectID("7.7");  // unregistered: empty name
  EXPECT_EQ(digest.AlgorithmName(), "");
  EXPECT_EQ(changes, 2);
}

TEST(KitComponent, ErrorRaisesErrorCipherWithTheFormattedText) {
  Sample c;
  try {
    c.Error(KitFormat("Key too short: %d bytes, must be at least %d bytes", 3, 8));
    FAIL();
  } catch (const ErrorCipher& e) {
    EXPECT_EQ(e.Message(), "Key too short: 3 bytes, must be at least 8 bytes");
    EXPECT_EQ(e.ClassName(), "ErrorCipher");
  }
}

}  // namespace
}  // namespace qv
