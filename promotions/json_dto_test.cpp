#include "promotions/json_dto.h"

#include <gtest/gtest.h>

#include <thread>

#include "promotions/promo_varenta.h"

namespace varenta {
namespace {

std::unique_ptr<TRoot> read(std::string_view json) {
  auto root = std::make_unique<TRoot>();
  root->AsJson(json);
  return root;
}

// The first promotion of a list holding only the given promotion object.
std::unique_ptr<TRoot> readPromotion(std::string_view promotion) {
  return read(R"({"results":[)" + std::string(promotion) + "]}");
}

TEST(JsonDto, TopLevelValuesOtherThanAnObject) {
  const std::string before = R"({"results":[{"id":1}],"total":5})";
  struct Case {
    std::string_view text;
    bool raises;
  };
  for (const Case c : {Case{"", false},
                       {"not json", false},
                       {"{\"total\":", false},
                       {"null", false},
                       {"[]", false},
                       {R"([{"total":9}])", false},
                       {"{} {}", false},
                       {std::string_view("{\"total\":1}\0", 12), false},
                       {"42", true},
                       {"\"text\"", true},
                       {"true", true}}) {
    auto root = read(before);
    if (c.raises) {
      try {
        root->AsJson(c.text);
        ADD_FAILURE() << c.text;
      } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "The input value is not a valid Object");
      }
    } else {
      EXPECT_NO_THROW(root->AsJson(c.text)) << c.text;
    }
    EXPECT_EQ(root->Total(), 5) << c.text;
    EXPECT_EQ(root->Results().size(), 1u) << c.text;
  }
}

// A top-level array goes to the array member answering to "Items", else to the one answering to
// "Results"; here the first is an array of text and the second no array at all.
class TBag : public TJsonDTO<TBag> {
 public:
  const std::vector<std::string>& Items() const { return FItems; }
  static std::span<const TMember<TBag>> Members() {
    static const std::array members{Member<&TBag::FItems>("FItems"), Member<&TBag::FResults>("FResults")};
    return members;
  }

 private:
  std::vector<std::string> FItems;
  std::int32_t FResults = 0;
};

TEST(JsonDto, TopLevelArrayFillsTheMemberAnsweringToItems) {
  TBag bag;
  bag.AsJson(R"(["a", 2, true, null])");
  EXPECT_EQ(bag.Items(), (std::vector<std::string>{"a", "2", "true", ""}));
  // Refused by both members: an array of objects does not fill an array of text.
  try {
    bag.AsJson(R"([{}])");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "The input value is not a valid Object");
  }
  EXPECT_EQ(bag.Items().size(), 4u);
}

TEST(JsonDto, KeysMatchExplicitlyOrByNameIgnoringCase) {
  for (const char* key : {"descripcion", "Descripcion", "DESCRIPCION"})
    EXPECT_EQ(readPromotion("{\"" + std::string(key) + "\":\"x\"}")->Results()[0]->Descripcion(), "x") << key;
  // "results" is an explicit key: other spellings reach the list member, which takes no array.
  EXPECT_EQ(read(R"({"results":[{}]})")->Results().size(), 1u);
  EXPECT_THROW(read(R"({"Results":[{}]})"), EConvertError);
  EXPECT_TRUE(read(R"({"RESULTS":null,"resultsArray":[{}]})")->Results().empty());
  // "bines" is explicit too; "Bines" answers to nothing and is ignored.
  auto root = readPromotion(R"({"detalles":{"condiciones":{"formasPago":[{"Bines":["1"],"bines":["2"]}]}}})");
  EXPECT_EQ(root->Results()[0]->Detalles()->Condiciones()->FormasPago()[0]->Bines(),
            std::vector<std::string>{"2"});
}

TEST(JsonDto, DuplicateKeysAreTakenInTextOrder) {
  std::unique_ptr<TRoot> root =
      readPromotion(R"({"id":1,"detalles":null,"id":2,"detalles":{"paga":3},"tipo":"A","tipo":null})");
  const TResults& p = *root->Results()[0];
  EXPECT_EQ(p.Id(), 2);
  ASSERT_NE(p.Detalles(), nullptr);
  EXPECT_EQ(p.Detalles()->Paga(), 3);
  EXPECT_EQ(p.Tipo(), "");

  // A second object for the same key starts from a new default; one that cannot be read leaves
  // the object of the first in place.
  root = readPromotion(R"({"detalles":{"paga":3},"detalles":{"descuento":1}})");
  EXPECT_EQ(root->Results()[0]->Detalles()->Paga(), 0);
  EXPECT_EQ(root->Results()[0]->Detalles()->Descuento(), 1);
  root = readPromotion(R"({"detalles":{"paga":3,"beneficios":null},"detalles":{"paga":4,"descuento":[1]}})");
  EXPECT_EQ(root->Results()[0]->Detalles()->Paga(), 3);
  EXPECT_EQ(root->Results()[0]->Detalles()->Beneficios(), nullptr);
}

TEST(JsonDto, NumericAndTextMembersTakeTheValuesText) {
  struct Case {
    std::string_view value;
    std::int32_t id;          // integer member
    double descuento;         // floating point member
    std::string_view precio;  // fixed point member, as Decimal::toString
    std::string_view titulo;  // text member
  };
  for (const Case c : {
           Case{"42", 42, 42, "42", "42"},
           {"\"42\"", 42, 42, "42", "42"},
           {"-7", -7, -7, "-7", "-7"},
           {"\"+7.5\"", 0, 7.5, "7.5", "+7.5"},
           {"\"+7\"", 7, 7, "7", "+7"},
           {"\"+-7\"", 0, 0, "0", "+-7"},
           {"4.2", 0, 4.2, "4.2", "4.2"},
           {"12.50", 0, 12.5, "12.5", "12.50"},
           {"\"1,5\"", 0, 0, "0", "1,5"},
           {"\"x\"", 0, 0, "0", "x"},
           {"1e2", 0, 100, "100", "1e2"},
           {"9.99999", 0, 9.99999, "10", "9.99999"},
           {"true", 0, 0, "0", "true"},
           {"2147483648", 0, 2147483648.0, "2147483648", "2147483648"},
           {"123456789012345678901234567890", 0, 1.2345678901234568e29, "0",
            "123456789012345678901234567890"},
           {"\"\"", 0, 0, "0", ""},
       }) {
    const std::string v(c.value);
    auto root = readPromotion(R"({"id":)" + v + R"(,"titulo":)" + v + R"(,"detalles":{"descuento":)" + v +
                              R"(,"precio":)" + v + "}}");
    const TResults& p = *root->Results()[0];
    EXPECT_EQ(p.Id(), c.id) << v;
    EXPECT_DOUBLE_EQ(p.Detalles()->Descuento(), c.descuento) << v;
    EXPECT_EQ(p.Detalles()->Precio().toString(), c.precio) << v;
    EXPECT_EQ(p.Titulo(), c.titulo) << v;
  }
}

TEST(JsonDto, ValueThatDoesNotSuitItsMemberRaisesAndKeepsWhatWasStored) {
  for (const char* member :
       {R"("id":[1])", R"("descripcion":{})", R"("autor":"x")", R"("detalles":[])", R"("vigenciaDesde":true)",
        R"("vigenciaDesde":{})", R"("vigenciaHasta":"31/03/2024")"}) {
    auto root = std::make_unique<TRoot>();
    EXPECT_THROW(root->AsJson(R"({"total":3,"results":[{)" + std::string(member) + R"(}],"total":4})"),
                 EConvertError)
        << member;
    EXPECT_EQ(root->Total(), 3) << member;
    EXPECT_TRUE(root->Results().empty()) << member;
  }
  // An element of an array of objects must be an object, null included.
  for (const char* results : {"[1]", "[null]", "[[]]", "{}", "\"x\""})
    EXPECT_THROW(read(R"({"results":)" + std::string(results) + "}"), EConvertError) << results;
}

TEST(JsonDto, NestedObjectThatCannotBeReadKeepsItsDefault) {
  // The failure inside "detalles" is dropped with everything read into it; reading goes on.
  auto root = readPromotion(R"({"detalles":{"paga":3,"descuento":[1]},"id":5})");
  const TResults& p = *root->Results()[0];
  EXPECT_EQ(p.Id(), 5);
  ASSERT_NE(p.Detalles(), nullptr);
  EXPECT_EQ(p.Detalles()->Paga(), 0);
  ASSERT_NE(p.Detalles()->Beneficios(), nullptr);
  // Deeper down the same holds for the nearest member object: here "condiciones" keeps its default.
  root = readPromotion(R"({"detalles":{"paga":3,"condiciones":{"items":[{"cantidad":[]}]}}})");
  EXPECT_EQ(root->Results()[0]->Detalles()->Paga(), 3);
  EXPECT_TRUE(root->Results()[0]->Detalles()->Condiciones()->Items().empty());
}

TEST(JsonDto, NullClearsAMemberButNotADate) {
  auto root = readPromotion(
      R"({"id":9,"id":null,"descripcion":"a","descripcion":null,"autor":null,"vigenciaDesde":"2024-03-01",)"
      R"("vigenciaDesde":null,"detalles":{"beneficios":null,"condiciones":{"items":[{}],"items":null}}})");
  const TResults& p = *root->Results()[0];
  EXPECT_EQ(p.Id(), 0);
  EXPECT_EQ(p.Descripcion(), "");
  EXPECT_EQ(p.Autor(), nullptr);
  EXPECT_EQ(p.VigenciaDesde(), DateTime::fromParts(2024, 3, 1));
  EXPECT_EQ(p.Detalles()->Beneficios(), nullptr);
  EXPECT_TRUE(p.Detalles()->Condiciones()->Items().empty());
}

TEST(JsonDto, ListReadBeforeTheAssignmentStaysEmpty) {
  TRoot root;
  EXPECT_TRUE(root.Results().empty());
  root.AsJson(R"({"results":[{"id":1},{"id":2}],"total":2})");
  EXPECT_TRUE(root.Results().empty());
  EXPECT_EQ(root.AsJson(), R"({"results":[],"total":2})");

  TRoot fresh;
  fresh.AsJson(R"({"results":[{"id":1},{"id":2}]})");
  ASSERT_EQ(fresh.Results().size(), 2u);
  EXPECT_EQ(fresh.Results()[1]->Id(), 2);
  EXPECT_EQ(&fresh.Results(), &fresh.Results());
}

}  // namespace
}  // namespace varenta

namespace varenta {
namespace {

TEST(ParsedJson, ParsesWithinAParseAndKeepsNumbersAsWritten) {
  const ParsedJson outer(R"({"a":[1.50,-2e3,"x\u00e9"]})");
  const ParsedJson inner(R"({"b":007})");
  ASSERT_TRUE(outer.valid());
  EXPECT_FALSE(inner.valid());
  const ParsedJson again(R"({"b":7})");
  ASSERT_TRUE(again.valid());
  EXPECT_EQ(scalarText(again.root()["b"]), "7");
  const JsonNode& a = outer.root()["a"];
  EXPECT_EQ(scalarText(a[0]), "1.50");
  EXPECT_EQ(scalarText(a[1]), "-2e3");
  EXPECT_EQ(scalarText(a[2]), "x\u00e9");
}

// A text of tiny values needs many times its size for its document; the first parse on a thread
// and a parse after a shorter one both get room for it.
TEST(ParsedJson, DenseTextsGetTheRoomTheyNeed) {
  std::string dense = "[";
  for (int i = 0; i < 100'000; ++i) dense += "1,";
  dense += "2]";
  std::thread([&] {
    for (const std::string& text : {dense, std::string("[0]"), dense + " "}) {
      const ParsedJson parsed(text);
      ASSERT_TRUE(parsed.valid());
      EXPECT_EQ(scalarText(parsed.root()[parsed.root().Size() - 1]), text == "[0]" ? "0" : "2");
    }
  }).join();
}

}  // namespace
}  // namespace varenta
