// Helpers the unit tests share: building relations, showing them in failure
// messages, expecting a run to be refused, and a private folder for files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/output.h"
#include "relation/relation.h"

namespace joinrel::test {

// Runs `action` and expects it to throw FatalError with exactly `message`.
inline void expectFatal(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no FatalError, expected \"" << message << '"';
  } catch (const FatalError& error) {
    EXPECT_EQ(error.message(), message);
    // The kind and the line travel beside the text and must tell the same.
    const MessageEntry& entry = messageEntry(error.kind());
    EXPECT_TRUE(error.message().starts_with(entry.text)) << entry.id;
    const std::string lineTail = ": " + std::to_string(error.line()) + ". sor!";
    EXPECT_EQ(error.line() > 0, entry.form == MessageForm::AtLine) << entry.id;
    EXPECT_EQ(error.message().ends_with(lineTail), entry.form == MessageForm::AtLine) << entry.id;
  }
}

// A new, empty folder of the running test's own, removed with its contents on
// destruction. CTest runs tests in parallel, and other build trees may run the
// same tests at the same time, so the name holds the test's name and a random
// number, and a folder that already exists is never taken over.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string stem = std::string("joinrel_") + test->test_suite_name() + "_" + test->name();
    std::random_device random;
    do {
      path_ = std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// An output file in a scratch folder of its own, for code that writes one.
class ScratchOutput {
 public:
  ScratchOutput() : path_(folder_.path() / "output"), file_(path_) {}

  OutputFile& file() { return file_; }

  // What the file holds so far: every line written has reached it.
  std::string str() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  ScratchDirectory folder_;
  std::filesystem::path path_;
  OutputFile file_;
};

// All 30 bytes of `field`, blanks included.
inline std::string fieldText(const Name& field) { return std::string(field.begin(), field.end()); }

// The cells of row `r` of `relation`, for comparing with a list.
inline std::vector<std::string_view> cellsOf(const Relation& relation, int r) {
  std::vector<std::string_view> cells(relation.attributes.size());
  splitRow(relation.rows[r], cells);
  return cells;
}

// An attribute named `name` whose type text is `type`.
inline Attribute attr(std::string_view name, std::string type = "") {
  return {stringToName(name), std::move(type)};
}

using Rows = std::vector<std::vector<std::string_view>>;

// Appends `cells` to `builder` as one row.
inline void appendRow(RowBuilder& builder, const std::vector<std::string_view>& cells) {
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (k > 0) builder.text() += ',';
    builder.text() += cells[k];
  }
  builder.endRow();
}

// A relation named `name` holding `rows`, each with one cell per attribute.
inline Relation makeRelation(std::string_view name, std::vector<Attribute> attributes,
                             const Rows& rows) {
  Relation relation;
  relation.name = stringToName(name);
  relation.attributes = std::move(attributes);
  RowBuilder builder;
  for (const auto& row : rows) appendRow(builder, row);
  builder.moveRowsInto(relation);
  return relation;
}

// One line for the schema ("name:type " each), one per row with every cell in
// brackets; compared as a whole so a failure shows both relations.
inline std::string describe(const Relation& relation) {
  std::string text;
  for (const auto& a : relation.attributes) {
    text += std::string(nameToString(a.name)) + ":" + a.type + " ";
  }
  for (int r = 0; r < relation.rowCount(); ++r) {
    text += "\n";
    for (auto cell : cellsOf(relation, r)) text += "[" + std::string(cell) + "]";
  }
  return text;
}

}  // namespace joinrel::test
