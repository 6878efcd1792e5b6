#pragma once
// SharedDatabaseTest: a test fixture whose suite shares one TestDatabase, made before the suite's
// first test and dropped after its last; each test clears the rows it relies on itself.

#include <gtest/gtest.h>

#include <memory>

#include "tests/firebird/test_database.h"

namespace varenta::testing {

class SharedDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { db_ = std::make_unique<TestDatabase>(); }
  static void TearDownTestSuite() { db_.reset(); }
  static TestDatabase& db() { return *db_; }

 private:
  static inline std::unique_ptr<TestDatabase> db_;
};

}  // namespace varenta::testing
