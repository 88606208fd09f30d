#include "link/rfc2217_client.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace norvale {
namespace {

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr int NOP = 241, GA = 249;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string text;
  for (const int byte : bytes) text += static_cast<char>(byte);
  return text;
}

// A client whose greeting has gone out.
Rfc2217Client Connected() {
  Rfc2217Client client;
  client.takeOutbox();
  return client;
}

const std::string kTypicalServer =
    Bytes({IAC, WILL, 1, IAC, WILL, 3, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 44});

TEST(Rfc2217Client, GreetsOnceAskingForTheOptionBinaryAndNoGoAhead) {
  Rfc2217Client client;
  EXPECT_EQ(client.takeOutbox(),
            Bytes({IAC, WILL, 44, IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 3, IAC, DO, 3}));
  EXPECT_EQ(client.takeOutbox(), "");
  EXPECT_EQ(client.comPortOption(), ComPortOption::Asked);
}

// What a server's bytes give, read whole and read one byte at a time: a command cut between two
// reads is kept for the next.
struct Received {
  std::string data;
  std::string answers;
  ComPortOption option;
};

Received ReceiveAll(const std::string& server, bool byteByByte) {
  Rfc2217Client client = Connected();
  std::string data;
  if (byteByByte) {
    for (const char c : server) data += client.receive(std::string(1, c));
  } else {
    data = client.receive(server);
  }
  return {data, client.takeOutbox(), client.comPortOption()};
}

// Answers come only when something changes, so a server that repeats itself gets no echo and
// the two ends cannot loop.
TEST(Rfc2217Client, AnswersWhatChangesOnceAndNeverLoops) {
  struct Case {
    const char* what;
    std::string server;
    std::string answers;
    ComPortOption option;
  };
  const Case cases[] = {
      {"typical server", kTypicalServer, Bytes({IAC, DONT, 1}), ComPortOption::Agreed},
      {"typical server twice", kTypicalServer + kTypicalServer, Bytes({IAC, DONT, 1}),
       ComPortOption::Agreed},
      {"asked for a terminal type twice", Bytes({IAC, DO, 24, IAC, DO, 24}), Bytes({IAC, WONT, 24}),
       ComPortOption::Asked},
      {"no go-ahead agreed, then dropped twice", Bytes({IAC, WILL, 3, IAC, WONT, 3, IAC, WONT, 3}),
       Bytes({IAC, DONT, 3}), ComPortOption::Asked},
      {"binary refused, then offered", Bytes({IAC, WONT, 0, IAC, WILL, 0, IAC, WILL, 0}),
       Bytes({IAC, DO, 0}), ComPortOption::Asked},
      {"option refused", Bytes({IAC, DONT, 44, IAC, DONT, 44}), "", ComPortOption::Refused},
      {"option agreed, then taken back", Bytes({IAC, DO, 44, IAC, DONT, 44, IAC, DONT, 44}),
       Bytes({IAC, WONT, 44}), ComPortOption::Refused},
  };
  for (const Case& c : cases) {
    for (const bool byteByByte : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (byteByByte ? ", byte by byte" : ""));
      const Received received = ReceiveAll(c.server, byteByByte);
      EXPECT_EQ(received.data, "");
      EXPECT_EQ(received.answers, c.answers);
      EXPECT_EQ(received.option, c.option);
    }
  }
}

TEST(Rfc2217Client, DataComesOutWithoutCommandsOrPadding) {
  struct Case {
    const char* what;
    std::string server;
    std::string data;
  };
  const Case cases[] = {
      {"IAC IAC is one 0xFF", "a" + Bytes({IAC, IAC}) + "b", Bytes({'a', 0xFF, 'b'})},
      {"NOP and GA dropped", "a" + Bytes({IAC, NOP}) + "b" + Bytes({IAC, GA}) + "c", "abc"},
      {"notifications and replies consumed",
       "a" + Bytes({IAC, SB, 44, 107, 0x30, IAC, SE}) + "b" +
           Bytes({IAC, SB, 44, 101, 0, 1, IAC, IAC, 0, IAC, SE}) + "c" +
           Bytes({IAC, SB, 24, 1, IAC, SE}) + "d",
       "abcd"},
      {"CR NUL is CR before binary", "1\r" + Bytes({0}) + "2\r\n\r" + Bytes({0, 0}),
       "1\r2\r\n\r" + Bytes({0})},
      {"NUL kept once the server sends binary", Bytes({IAC, WILL, 0}) + "1\r" + Bytes({0}),
       "1\r" + Bytes({0})},
  };
  for (const Case& c : cases) {
    for (const bool byteByByte : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (byteByByte ? ", byte by byte" : ""));
      const Received received = ReceiveAll(c.server, byteByByte);
      EXPECT_EQ(received.data, c.data);
      EXPECT_EQ(received.answers, "");
    }
  }
}

TEST(Rfc2217Client, EncodeDoublesIacAndPadsCrUntilTheServerTakesBinary) {
  struct Case {
    const char* what;
    std::string server;
    std::string data;
    std::string sent;
  };
  const Case cases[] = {
      {"before binary", "", "\x01\xFF\r\n\r", "\x01\xFF\xFF\r" + Bytes({0}) + "\n\r" + Bytes({0})},
      {"server sends binary only", Bytes({IAC, WILL, 0}), "\r\xFF", "\r" + Bytes({0, IAC, IAC})},
      {"server takes binary", Bytes({IAC, DO, 0}), "\r\xFF\xFF",
       "\r" + Bytes({IAC, IAC, IAC, IAC})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rfc2217Client client = Connected();
    client.receive(c.server);
    EXPECT_EQ(client.encode(c.data), c.sent);
  }
}

// IAC SB 44 <command> <value> IAC SE, in the order asked, once the server agrees.
TEST(Rfc2217Client, LineRequestsWaitForTheServerToAgreeThenGoInOrder) {
  Rfc2217Client client = Connected();
  client.setLine(0x0001FF00);  // a 0xFF byte in the rate is doubled
  client.setDtr(true);
  client.purgeBoth();
  EXPECT_EQ(client.takeOutbox(), "");
  client.receive(Bytes({IAC, DO, 44}));
  EXPECT_EQ(client.takeOutbox(), Bytes({IAC, SB, 44, 1,  0x00, 0x01, 0xFF, 0xFF, 0x00, IAC, SE,  //
                                        IAC, SB, 44, 2,  8,    IAC,  SE,                         //
                                        IAC, SB, 44, 3,  1,    IAC,  SE,                         //
                                        IAC, SB, 44, 4,  1,    IAC,  SE,                         //
                                        IAC, SB, 44, 5,  1,    IAC,  SE,                         //
                                        IAC, SB, 44, 5,  8,    IAC,  SE,                         //
                                        IAC, SB, 44, 12, 3,    IAC,  SE}));
  client.setDtr(false);  // straight out once agreed
  EXPECT_EQ(client.takeOutbox(), Bytes({IAC, SB, 44, 5, 9, IAC, SE}));
}

TEST(Rfc2217Client, LineRequestsAreDroppedWhenTheServerRefuses) {
  Rfc2217Client client = Connected();
  client.setLine(9600);
  client.receive(Bytes({IAC, DONT, 44}));
  client.setDtr(true);
  client.purgeBoth();
  EXPECT_EQ(client.takeOutbox(), "");
}

}  // namespace
}  // namespace norvale
