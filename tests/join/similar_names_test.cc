#include "join/similar_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace joinrel {
namespace {

TEST(SimilarNamesTest, OffersCaseTwinsElseNamesWithinTwoEditsNearestFirst) {
  const struct {
    const char* label;
    const char* name;
    std::vector<std::string> loaded;
    std::vector<std::string> offered;
  } cases[] = {
      {"case twins only, in file order", "dept", {"Dept", "dep", "DEPT"}, {"Dept", "DEPT"}},
      {"nearer first, ties in file order", "Dept", {"Dpt", "Depts", "De"}, {"Dpt", "Depts", "De"}},
      {"three edits is too many", "Dept", {"Emp", "D"}, {}},
      {"a name loaded twice is offered once", "Emq", {"Emp", "Emp"}, {"Emp"}},
      {"the name itself is never offered", "A", {"A", "B"}, {"B"}},
      {"a replaced byte is one edit, not two", "Exan", {"Examx", "Exam"}, {"Exam", "Examx"}},
      {"at most five", "A", {"B", "C", "D", "E", "F", "G"}, {"B", "C", "D", "E", "F"}},
      {"no relations", "A", {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(similarNames(c.name, c.loaded), c.offered) << c.label;
  }
}

}  // namespace
}  // namespace joinrel
