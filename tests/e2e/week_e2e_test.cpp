// A week of a store's sales, end to end: the real program, in scaled time, brings a freshly
// generated store in step with the stand-in. Every document that reaches the stand-in is checked
// against the text the store's rows call for, and so are the promotion rows, the marks and the
// log's result lines in their order.

#include <gtest/gtest.h>

#include "tests/e2e/cloud_fixture.h"
#include "tests/e2e/e2e_fixture.h"

namespace varenta::e2e {
namespace {

using namespace std::chrono_literals;

// The log's result lines ("[...]"), the first mismatch against the expected ones described.
::testing::AssertionResult resultLinesAre(const std::vector<std::string>& messages,
                                          const std::vector<std::string>& expected) {
  std::vector<std::string> actual;
  for (const std::string& m : messages)
    if (m.starts_with("[")) actual.push_back(m);
  for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
    if (i < actual.size() && i < expected.size() && matchesExpected(expected[i], actual[i])) continue;
    return ::testing::AssertionFailure() << "result line " << i + 1 << " of " << actual.size() << " is \""
                                         << (i < actual.size() ? actual[i] : "(none)") << "\", expected \""
                                         << (i < expected.size() ? expected[i] : "(none)") << "\"";
  }
  return ::testing::AssertionSuccess();
}

class Week : public EndToEndTest {};

// The start date lies 75 days back, so the first settings load moves it to two months before today
// and the five sales dated 70 days back are never sent; the closings then walk the empty days up to
// the week of sales.
TEST_F(Week, AThousandSalesReachTheCloudOnceEachAsTheirRowsSay) {
  StoreRecipe recipe;
  recipe.sales = 1000;
  recipe.startDaysBack = 75;
  recipe.oldSales = 5;
  makeStore(recipe);
  ASSERT_GE(expected_.sales, 1000);
  startService();
  ASSERT_TRUE(awaitInStep()) << "marks: sale " << marks().ultVenda << " of " << expected_.ultVenda << "; "
                             << describe(tallyPosts(expectedPosts(), journal()));
  EXPECT_TRUE(awaitTicks(3)) << "the cycle stopped ticking";
  EXPECT_EQ(stopService(), 0) << service_->standardError();

  const PostTally tally = tallyPosts(expectedPosts(), journal());
  EXPECT_TRUE(tally.missing.empty() && tally.unexpected.empty() && tally.extras.empty()) << describe(tally);
  EXPECT_EQ(tally.posts, static_cast<int>(expectedPosts().size()));

  const Marks after = marks();
  EXPECT_EQ(after.ultVenda, expected_.ultVenda);
  EXPECT_EQ(after.ultCancelamento, expected_.ultCancelamento);
  EXPECT_EQ(after.ultCaixa, store_.today);
  EXPECT_EQ(after.dataInicio, store_.today.addMonths(-2));
  EXPECT_EQ(after.verificaPromo.date(), store_.today);
  EXPECT_EQ(after.verificaReenvio.date(), store_.today);

  const PromotionTables want = expectedPromotionTables(store_);
  const PromotionTables got = readPromotionTables(db_.connection());
  EXPECT_EQ(got.promocoes, want.promocoes);
  EXPECT_EQ(got.produtos, want.produtos);
  EXPECT_EQ(got.bins, want.bins);
  EXPECT_EQ(got.cestas, want.cestas);
  EXPECT_EQ(got.itens, want.itens);

  const std::vector<std::string> messages = service_->messages();
  EXPECT_TRUE(resultLinesAre(messages, expectedResultLines(store_, expectedPosts(), resendPolling())));
  EXPECT_EQ(messages.front(), "Serviço criado");
  EXPECT_EQ(messages.back(), "Serviço encerrado");
  EXPECT_NE(
      std::find(messages.begin(), messages.end(), "Ajuste na data de inicio Varenta no banco do Olvessa"),
      messages.end());
  for (const std::string& m : messages)
    EXPECT_FALSE(m.starts_with("ERRO") || m.starts_with("Erro") || m.starts_with("Falha")) << m;
}

}  // namespace
}  // namespace varenta::e2e
