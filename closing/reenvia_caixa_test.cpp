#include "closing/reenvia_caixa.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "api/api_errors.h"
#include "base/error.h"
#include "tests/tasks/closing_fixture.h"

namespace varenta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

class ReenviaCaixaTest : public ClosingStoreTest {
 protected:
  // Two days back: register 1 sold 10.00 and had 1.00 of that sale cancelled; register 2 sold 20.00,
  // had 2.50 of that sale cancelled and one sale of 5.00 cancelled whole.
  void SetUp() override {
    ClosingStoreTest::SetUp();
    day_ = daysAgo(2);
    shown_ = day_.format("dd/mm/yyyy");
    registerOne_ = closingText("11.00", "0.00", 1, day_, 0);
    registerTwo_ = closingText("22.50", "5.00", 2, day_, 1);
    storeWide_ = closingText("-3.50", "3.50", 0, day_, 2, " , ");
    line(1, day_, "1", "10.00");
    line(1, day_, "1", "1.00", true);
    line(2, day_, "2", "20.00");
    line(2, day_, "2", "2.50", true);
    line(3, day_, "2", "5.00", true);
    setMark(daysAgo(5));
    timer_.setEnabled(true);
  }

  // Resends, and checks that no mark and not the timer were touched.
  void resend(DateTime day, const std::string& terminal) {
    const auto generation = timer_.generation();
    ReenviaCaixaVarenta(task(), day + std::chrono::hours(15), terminal);
    EXPECT_EQ(timer_.generation(), generation);
    EXPECT_EQ(settings_.ultCaixa, daysAgo(5));
    EXPECT_EQ(storedMark(), daysAgo(5));
  }

  DateTime day_;
  std::string shown_;
  std::string registerOne_;
  std::string registerTwo_;
  std::string storeWide_;
};

TEST_F(ReenviaCaixaTest, ARegisterWithPartialCancellationsThenTheWholeStoresPartialOnes) {
  resend(day_, "2");

  EXPECT_THAT(posts(), ElementsAre(ClosingPost{"2", registerTwo_}, ClosingPost{"9999", storeWide_}));
  EXPECT_THAT(log_.lines(),
              ElementsAre("[REENVIO-CAIXA:" + shown_ + "]Ok:1", "[REENVIO-CAIXA-PARC.:" + shown_ + "]Ok:2"));
}

TEST_F(ReenviaCaixaTest, WithoutARegisterEveryRegisterThatSoldThenTheStoreOnce) {
  resend(day_, "");

  EXPECT_THAT(posts(), ElementsAre(ClosingPost{"1", registerOne_}, ClosingPost{"2", registerTwo_},
                                   ClosingPost{"9999", storeWide_}));
  EXPECT_THAT(log_.lines(),
              ElementsAre("[REENVIO-CAIXA:" + shown_ + "]Ok:1", "[REENVIO-CAIXA:" + shown_ + "]Ok:2",
                          "[REENVIO-CAIXA-PARC.:" + shown_ + "]Ok:3"));
}

// A transport failure is thrown, but only once the store-wide record had its chance too.
TEST_F(ReenviaCaixaTest, AFailedRegisterPostIsLoggedAndTheStoreRecordStillGoes) {
  standIn_.force({.close = true, .times = 1});

  EXPECT_THROW(ReenviaCaixaVarenta(task(), day_, "1"), ERestError);

  EXPECT_THAT(posts(), ElementsAre(ClosingPost{"1", registerOne_}, ClosingPost{"9999", storeWide_}));
  const auto lines = log_.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], registerOne_);
  EXPECT_THAT(lines[1],
              StartsWith("Erro Reenvio Caixa Total: ERestError\r\nMensagem: REST request failed: "));
  EXPECT_EQ(lines[2], "[REENVIO-CAIXA-PARC.:" + shown_ + "]Ok:1");
}

TEST_F(ReenviaCaixaTest, NothingForTodayNorForARegisterWithoutLiveSales) {
  line(4, today_, "1", "8.00");
  line(5, day_, "3", "4.00", true);  // register 3 only cancelled that day
  struct Case {
    DateTime day;
    const char* terminal;
  };
  for (const Case& c : {Case{today_, "1"}, Case{today_, ""}, Case{day_, "3"}, Case{daysAgo(3), ""}}) {
    SCOPED_TRACE(c.day.format("yyyy-mm-dd") + " register '" + c.terminal + "'");
    resend(c.day, c.terminal);
    EXPECT_THAT(posts(), IsEmpty());
    EXPECT_THAT(log_.lines(), IsEmpty());
  }
}

TEST_F(ReenviaCaixaTest, ARegisterTheDatabaseCannotReadEndsTheResendWithALogLine) {
  resend(day_, "caixa 2");

  EXPECT_THAT(posts(), IsEmpty());
  EXPECT_THAT(log_.lines(), ElementsAre("", StartsWith("Erro Reenvio Caixa: EDatabaseError\r\nMensagem: ")));
}

// The closing a late cancellation owes: what the cloud did not judge brings the closing mark back
// to that day, in memory and stored, so the closing export sends it again; a failure line the log
// cannot take is no reason to throw, and a mark not yet past the day is left to get there.
TEST_F(ReenviaCaixaTest, AClosingOwedThatTheCloudDidNotJudgeBringsTheClosingMarkBack) {
  struct Case {
    const char* name;
    StandInForcing answer;
    bool deadLog;
    DateTime mark;
    DateTime expected;
  };
  const Case cases[] = {
      {"judged", {}, false, today_, today_},
      {"500", {.status = 500, .times = 1}, false, today_, day_},
      {"refused login",
       {.status = 401, .body = R"({"appErrorCode":"ERROR_LOGIN"})", .times = 1},
       false,
       today_,
       day_},
      {"500, dead log", {.status = 500, .times = 1}, true, today_, day_},
      {"500, mark not past the day", {.status = 500, .times = 1}, false, day_, day_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setMark(c.mark);
    standIn_.force(c.answer);
    log_.onLine = [&c](std::string_view line) {
      if (c.deadLog && line.starts_with("Erro")) throw EInOutError("the log is gone");
    };

    EXPECT_NO_THROW(resendOwedClosing(task(), day_ + std::chrono::hours(15), "2"));
    EXPECT_EQ(settings_.ultCaixa, c.expected);
    EXPECT_EQ(storedMark(), c.expected);
    standIn_.reset();
  }
}

}  // namespace
}  // namespace varenta
