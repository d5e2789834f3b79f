#include "comm/connection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/select_dlg.h"
#include "comm/com_port_list.h"
#include "comm_fixture.h"
#include "fake_menu_items.h"
#include "serial/pty_pair.h"
#include "serial/serial_exception.h"

namespace qv {
namespace {

using test::EnglishTexts;
using test::Home;
using test::RecordingHandler;

TEST(ComPortNumber, ReadsTheNumberAfterTheFirstThreeCharacters) {
  struct Case {
    const char* text;
    int number;
  } cases[] = {{"COM7", 7},  {"COM10 (USB)", 10},    {"COM255", 255},         {"COMX", 0},   {"COM", 0},
               {"COM 5", 0}, {"COM123456789012", 0}, {"COM000000000042", 42}, {"COM12a", 0}, {"XYZ3", 3},
               {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(ComPortNumber(c.text), c.number) << c.text;
}

TEST(Connection, ReadsAndWritesSectionConnection) {
  struct Case {
    const char* what;
    std::string ini;
    TConnTypes perm;
    TConnType type;
    uint16_t com;
    const char* written_perm;
  } cases[] = {
      {"missing", "", ConnTypeBit(ctDirect), ctDirect, 0, "Direct-"},
      {"two types", "PermCTypes=direct-gsm-\r\n", ConnTypeBit(ctDirect) | ConnTypeBit(ctGSM), ctDirect, 0,
       "Direct-GSM-"},
      {"unknown part", "PermCTypes=Direct-Foo-\r\n", ConnTypeBit(ctDirect), ctDirect, 0, "Direct-"},
      {"empty", "PermCTypes=\r\n", ConnTypeBit(ctDirect), ctDirect, 0, "Direct-"},
      {"type not permitted", "ConnType=modem\r\n", ConnTypeBit(ctDirect), ctDirect, 0, "Direct-"},
      {"type permitted", "PermCTypes=Direct-Modem-\r\nConnType=MODEM\r\n", ConnTypeBit(ctDirect) | ConnTypeBit(ctModem),
       ctModem, 0, "Direct-Modem-"},
      {"only another type", "PermCTypes=Tapi-\r\n", ConnTypeBit(ctTapi), ctTapi, 0, "Tapi-"},
      {"port", "ComNumber=4\r\n", ConnTypeBit(ctDirect), ctDirect, 4, "Direct-"},
      {"port zero", "ComNumber=0\r\n", ConnTypeBit(ctDirect), ctDirect, 0, "Direct-"},
      {"port text", "ComNumber=abc\r\n", ConnTypeBit(ctDirect), ctDirect, 0, "Direct-"},
  };
  for (const auto& c : cases) {
    Home home("[Connection]\r\n" + c.ini);
    {
      TConnection connection;
      EXPECT_EQ(connection.PermCTypes(), c.perm) << c.what;
      EXPECT_EQ(connection.ConnType(), c.type) << c.what;
      EXPECT_EQ(connection.Port()->ComNumber(), c.com) << c.what;
    }
    const std::string ini = home.Read("QUARVEL.INI");
    EXPECT_NE(ini.find(std::string("PermCTypes=") + c.written_perm), std::string::npos) << c.what << ini;
    EXPECT_NE(ini.find(std::string("ConnType=") + ConnTypeName(c.type)), std::string::npos) << c.what << ini;
    EXPECT_NE(ini.find("ComNumber=" + std::to_string(c.com)), std::string::npos) << c.what << ini;
  }
}

TEST(Connection, PermittedTypesFollowTheCurrentType) {
  Home home;
  TConnection c;
  c.SetPermCTypes(ConnTypeBit(ctModem) | ConnTypeBit(ctGSM));
  EXPECT_EQ(c.ConnType(), ctModem);
  c.SetConnType(ctTapi);  // not permitted
  EXPECT_EQ(c.ConnType(), ctModem);
  c.SetPermCTypes(0);
  EXPECT_EQ(c.PermCTypes(), ConnTypeBit(ctModem) | ConnTypeBit(ctGSM));
  EXPECT_THROW(c.Connect(), Exception);
  EXPECT_FALSE(c.InProcess());
}

// A connection whose COM numbers are mapped to a pseudo-terminal (COM8), a folder (COM5) and a
// missing device (COM6).
class ConnectionOnLine : public ::testing::Test {
protected:
  ConnectionOnLine()
      : home_("[SerialPorts]\r\nCOM8=" + pty_.SlavePath() +
              "\r\nCOM5=" + std::filesystem::temp_directory_path().string() + "\r\nCOM6=/dev/no-such-port\r\n") {
    SetMainThread();
    InstallComPortMap();
    connection_ = std::make_unique<TConnection>();
    connection_->Sleep = [this](int ms) { sleeps_.push_back(ms); };
    connection_->OnDisConnect = [this](TConnection* sender) {
      EXPECT_EQ(sender, connection_.get());
      ++disconnects_;
    };
  }
  ~ConnectionOnLine() override { connection_.reset(); }

  test::PtyPair pty_;
  test::FakeMenuItemHook menu_hook_;
  Home home_;
  EnglishTexts texts_;
  RecordingHandler handler_;
  std::unique_ptr<TConnection> connection_;
  std::vector<int> sleeps_;
  int disconnects_ = 0;
};

TEST_F(ConnectionOnLine, ConnectsAndDisconnectsWithTheMenuItemFollowing) {
  test::FakeMenuItem item;
  connection_->SetCommMenu(item.Handle());
  EXPECT_EQ(connection_->CommMenu(), item.Handle());
  EXPECT_TRUE(item.enabled);
  EXPECT_TRUE(connection_->DisConnect());
  EXPECT_EQ(disconnects_, 0);

  connection_->Port()->SetComNumber(8);
  ASSERT_TRUE(connection_->Connect());
  EXPECT_TRUE(connection_->InProcess());
  EXPECT_FALSE(item.enabled);
  EXPECT_THROW(connection_->Connect(), EAlreadyOpen);
  try {
    connection_->Edit();
    ADD_FAILURE();
  } catch (const EAlreadyOpen& e) {
    EXPECT_STREQ(e.what(), "Error in TConnection.Edit: Can not modify. Connection in process!");
  }
  EXPECT_THROW(connection_->SetPermCTypes(ConnTypeBit(ctModem)), EAlreadyOpen);
  int asked = 0;
  SelectDlgProc = [&](auto&&...) { return ++asked, 2; };
  item.Click();  // does nothing while connected
  EXPECT_EQ(asked, 0);

  EXPECT_TRUE(connection_->DisConnect());
  EXPECT_FALSE(connection_->InProcess());
  EXPECT_FALSE(connection_->Port()->Open());
  EXPECT_TRUE(item.enabled);
  EXPECT_EQ(disconnects_, 1);
  item.Click();
  EXPECT_EQ(asked, 1);
  SelectDlgProc = nullptr;
  connection_->SetCommMenu(nullptr);
  EXPECT_EQ(item.click, nullptr);
  EXPECT_TRUE(sleeps_.empty());
}

TEST_F(ConnectionOnLine, ThreeFailingOpensEndInAnAlertAndFalse) {
  connection_->Port()->SetComNumber(5);
  EXPECT_FALSE(connection_->Connect());
  EXPECT_FALSE(connection_->InProcess());
  EXPECT_EQ(sleeps_, (std::vector<int>{1000, 1000}));
  ASSERT_EQ(handler_.messages.size(), 3u);
  EXPECT_EQ(handler_.messages[0].source, "exception open com port (retrying)");
  EXPECT_EQ(handler_.messages[0].kind, mkLogOnly);
  EXPECT_EQ(handler_.messages[1].source, "exception open com port (retrying)");
  EXPECT_EQ(handler_.messages[2].source, "exception open com port");
  EXPECT_EQ(handler_.messages[2].kind, mkAlert);
  EXPECT_EQ(handler_.dialogs.size(), 1u);
}

TEST_F(ConnectionOnLine, APortChoiceDeclinedEndsTheConnectAtOnce) {
  int asked = 0;
  SetComSelectHook([&] { return ++asked, 0; });
  EXPECT_FALSE(connection_->Connect());
  SetComSelectHook(nullptr);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(sleeps_.empty());
  EXPECT_TRUE(handler_.dialogs.empty());
  ASSERT_EQ(handler_.messages.size(), 1u);
  EXPECT_EQ(handler_.messages[0].kind, mkLogOnly);
  EXPECT_FALSE(connection_->InProcess());
}

TEST_F(ConnectionOnLine, APortInUseOrMissingIsRaisedAtOnce) {
  TSerComPort other;
  other.SetComNumber(8);
  other.SetOpen(true);
  connection_->Port()->SetComNumber(8);
  try {
    connection_->Connect();
    ADD_FAILURE();
  } catch (const EAlreadyOpen& e) {
    EXPECT_STREQ(e.what(), "The serial port is in use already.");
  }
  other.SetOpen(false);
  connection_->Port()->SetComNumber(6);
  try {
    connection_->Connect();
    ADD_FAILURE();
  } catch (const EBadId& e) {
    EXPECT_STREQ(e.what(), "The serial port does not exist.");
  }
  EXPECT_TRUE(sleeps_.empty());
  EXPECT_FALSE(connection_->InProcess());
}

TEST_F(ConnectionOnLine, EditOffersThePresentPortsAndTakesTheChoice) {
  TStringList shown;
  int32_t preselected = -2;
  std::string caption, prompt;
  SelectDlgProc = [&](const std::string& c, const std::string& t1, const std::string& t2, uint8_t style,
                      TStringList& list, int32_t& index) {
    caption = c;
    prompt = t1;
    EXPECT_EQ(t2, "");
    EXPECT_EQ(style, 2);
    shown.Assign(list);
    preselected = index;
    index = list.IndexOf("COM8");
    return 1;
  };
  connection_->Port()->SetComNumber(8);
  connection_->Edit();
  EXPECT_EQ(caption, "Communication");
  EXPECT_EQ(prompt, "Serial port:");
  ASSERT_GE(shown.IndexOf("COM8"), 0);
  EXPECT_LT(shown.IndexOf("COM5"), 0);  // a folder is no device
  EXPECT_LT(shown.IndexOf("COM6"), 0);
  EXPECT_EQ(preselected, shown.IndexOf("COM8"));
  for (int i = 1; i < shown.Count(); ++i) EXPECT_LT(ComPortNumber(shown[i - 1]), ComPortNumber(shown[i]));

  connection_->Port()->SetComNumber(6);  // not present: nothing preselected
  connection_->Edit();
  EXPECT_EQ(preselected, -1);
  EXPECT_EQ(connection_->Port()->ComNumber(), 8);

  connection_->SetPermCTypes(ConnTypeBit(ctDirect) | ConnTypeBit(ctGSM));
  EXPECT_THROW(connection_->Edit(), Exception);
  SelectDlgProc = nullptr;
  connection_.reset();
  EXPECT_NE(home_.Read("QUARVEL.INI").find("ComNumber=8"), std::string::npos);
}

TEST_F(ConnectionOnLine, ALostLineIsReportedAndTheConnectionStillCloses) {
  connection_->Port()->SetComNumber(8);
  ASSERT_TRUE(connection_->Connect());
  pty_.CloseMaster();
  ASSERT_TRUE(test::PumpUntil([&] { return !handler_.Texts(mkError).empty(); }, 5000));
  EXPECT_EQ(handler_.Texts(mkError), std::vector<std::string>{"COM8: the line has gone away (hang-up)"});
  EXPECT_TRUE(connection_->InProcess());
  EXPECT_TRUE(connection_->DisConnect());
  EXPECT_FALSE(connection_->InProcess());
  EXPECT_EQ(disconnects_, 1);
}

}  // namespace
}  // namespace qv
