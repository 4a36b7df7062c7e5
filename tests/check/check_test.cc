#include "check/check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "test_support.h"
#include "wasm/check_report.h"

namespace joinrel {
namespace {

// Runs joinrel on `input` with `answer` watched, checked against result or
// join step `step`'s built relation; returns the check report.
std::string checkReportOf(const std::string& input, const std::string& answerText,
                          std::optional<AnswerCheck>* check = nullptr, int step = 0) {
  const Answer answer = readAnswer(answerText);
  if (answer.error) return checkReportText(answer, nullptr, step);
  const test::ScratchDirectory directory;
  const std::filesystem::path inputPath = directory.path() / "input";
  const std::filesystem::path outputPath = directory.path() / "output";
  std::ofstream(inputPath, std::ios::binary) << input;
  std::ostringstream console;
  AnswerWatcher watcher(answer, step);
  const std::array<Argument, 3> args = {"joinrel", inputPath.c_str(), outputPath.c_str()};
  runJoinrel(
      args, console, console, [] {}, watcher);
  if (check != nullptr) *check = watcher.check();
  return checkReportText(answer, &watcher, step);
}

const std::string kCompany =
    "Q(Emp, Dept)\n\nEmp(name char(20), dept int)\nCili,1\nAnna,1\nBela,2\nCili,1\n\n"
    "Note(text)\nhello world\n\nDept(dept int, title)\n1,Sales\n2,Audit\n3,Legal\n";
const std::string kHeader = "result(dept int, name char(20), title)\n";

// Each answer's report holds each of its pieces: rows right, missing rows
// with the input rows and lines they are joined from, extra rows with the
// step and value they fail on, repeats, the column and row orders with
// their deciding byte, and the reader's refusals.
TEST(CheckTest, ReportsEachRowWithItsFacts) {
  struct Case {
    std::string name;
    std::string input;
    std::string answer;
    std::vector<std::string> pieces;
  };
  const std::string unmatched = "Q(A, B)\n\nA(x,k)\na,1\nb,9\n\nB(k,y)\n1,p\n";
  const std::string product = "Q(A, B)\n\nA(x)\na\n\nB(y,z)\n1,p\n2,q\n";
  const std::vector<Case> cases = {
      {"exact",
       kCompany,
       kHeader + "\n1,Anna,Sales\n1,Cili,Sales\n2,Bela,Audit\n",
       {R"("checked":true)",
        R"("right":[[0,0],[1,1],[2,2]],"missing":[],"extra":[],"rowOrder":null)",
        R"("lines":[3,4,5])"}},
      {"one left out, one added",
       kCompany,
       kHeader + "1,Anna,Sales\n3,Dora,Legal\n2,Bela,Audit\n",
       {R"("missing":[{"row":1,"cells":["1","Cili","Sales"],"sources":[{"relation":0,"name":"Emp","row":0,"line":4},{"relation":2,"name":"Dept","row":0,"line":13}]}])",
        R"({"row":1,"line":3,"cells":["3","Dora","Legal"],"reason":"noRow","repeats":null,"place":0,"relation":0,"name":"Emp","with":[],"attribute":"name","value":"Dora"})"}},
      {"first relation has the name, not the value",
       kCompany,
       kHeader + "3,Cili,Legal\n",
       {R"("reason":"noRow","repeats":null,"place":0,"relation":0,"name":"Emp","with":[["name","Cili"]],"attribute":"dept","value":"3")"}},
      {"partner has the value, differs on another column",
       kCompany,
       kHeader + "2,Bela,Sales\n",
       {R"("place":1,"relation":2,"name":"Dept","with":[["dept","2"]],"attribute":"title","value":"Sales")"}},
      {"no partner",
       unmatched,
       "result(k,x,y)\n1,a,p\n9,b,p\n",
       {R"("right":[[0,0]])",
        R"("reason":"noPartner","repeats":null,"place":1,"relation":1,"name":"B","with":[],"attribute":"k","value":"9")"}},
      {"product",
       product,
       "result(x,y,z)\na,1,p\na,2,p\n",
       {R"("right":[[0,0]])",
        R"("place":1,"relation":1,"name":"B","with":[["y","2"]],"attribute":"z","value":"p")"}},
      {"repeats",
       kCompany,
       kHeader + "1,Anna,Sales\n1,Cili,Sales\n1,Anna,Sales\n2,Bela,Audit\n",
       {R"("extra":[{"row":2,"line":4,"cells":["1","Anna","Sales"],"reason":"repeats","repeats":0,"place":null)",
        R"("rowOrder":null)"}},
      {"column order",
       kCompany,
       "result(name, dept, title)\nAnna,1,Sales\nCili,1,Sales\nBela,2,Audit\n",
       {R"("sameNames":true,"inOrder":false,"outOfOrder":[0,1],"decidingByte":{"at":0,"bytes":[110,100]})",
        R"("right":[[0,0],[1,1],[2,2]],"missing":[],"extra":[],"rowOrder":null)"}},
      {"row order",
       kCompany,
       kHeader + "1,Cili,Sales\n1,Anna,Sales\n2,Bela,Audit\n",
       {R"("rowOrder":{"rows":[0,1],"lines":[2,3],"decidingByte":{"at":2,"bytes":[67,65]}})"}},
      {"row order where one row begins the other",
       "Q(A)\n\nA(x)\nab\na\n",
       "r(x)\nab\na\n",
       {R"("rowOrder":{"rows":[0,1],"lines":[2,3],"decidingByte":{"at":1,"bytes":[98,null]}})"}},
      {"other names",
       kCompany,
       "result(dept, who, title)\n1,Anna,Sales\n",
       {R"("sameNames":false,"inOrder":false,"outOfOrder":null)",
        R"("right":[],"missing":[],"extra":[])"}},
      {"bad header",
       kCompany,
       "result(dept, name\n",
       {R"("answer":{"message":{"kind":"bad-header","line":1)", R"("run":null,"checked":false)"}},
      {"nothing written", kCompany, "\n\n", {R"("message":{"kind":"missing-header","line":3)"}},
      {"a second header",
       kCompany,
       kHeader + "1,Anna,Sales\nDept(x)\n",
       {R"("message":{"kind":"bad-row","line":3)"}},
      {"the run refused",
       "Q(A)\n\nA(x\n",
       "r(x)\n",
       {R"("run":{"message":{"kind":"bad-header","line":3)", R"("checked":false)"}},
  };
  for (const Case& c : cases) {
    const std::string report = checkReportOf(c.input, c.answer);
    for (const std::string& piece : c.pieces) {
      EXPECT_NE(report.find(piece), std::string::npos) << c.name << ": " << piece << "\nin\n"
                                                       << report;
    }
  }
}

// A step's built relation predicted: rows compared as a multiset, repeats
// the step makes counted, each missing row with its left and right operand
// rows (no input line for the outcome of an earlier step), each extra row
// with the operand and value it fails on, the column and row order of the
// step's own, and no check of the last step, whose built relation is result.
TEST(CheckTest, ReportsAStepsBuiltRelation) {
  struct Case {
    std::string name;
    int step;
    std::string answer;
    std::vector<std::string> pieces;
  };
  // Lines 4-6 A, 9-11 B, 14-15 C; the last step is a product with D.
  const std::string input =
      "Q(A, B, C, D)\n\nA(x,k)\na,1\nb,2\nc,1\n\nB(k,y)\n1,p\n1,q\n3,r\n\nC(y,z)\np,Z\nq,W\n\n"
      "D(w)\n0\n";
  const std::string header = "s(x,k,y)\n";
  const std::vector<Case> cases = {
      {"exact, repeats and all",
       1,
       header + "a,1,p\na,1,q\nc,1,p\nc,1,q\n",
       {R"("step":1,)", R"("right":[[0,0],[1,1],[2,2],[3,3]],"missing":[],"extra":[])",
        R"("rowOrder":null,"stepOrder":null})"}},
      {"one row wrong",
       1,
       header + "a,1,p\na,1,q\nc,1,p\nc,1,r\n",
       {R"("missing":[{"row":3,"cells":["c","1","q"],"sources":[{"relation":0,"name":"A","row":2,"line":6},{"relation":1,"name":"B","row":1,"line":10}]}])",
        R"("reason":"noRow","repeats":null,"place":1,"relation":1,"name":"B","with":[["k","1"]],"attribute":"y","value":"r")"}},
      {"no partner, and a row once too often",
       1,
       header + "a,1,p\na,1,p\nb,2,p\nd,1,p\n",
       {R"({"row":1,"line":3,"cells":["a","1","p"],"reason":"repeats","repeats":0,)",
        R"("reason":"noPartner","repeats":null,"place":1,"relation":1,"name":"B","with":[],"attribute":"k","value":"2")",
        R"("place":0,"relation":0,"name":"A","with":[],"attribute":"x","value":"d")"}},
      {"rows out of the step's order",
       1,
       header + "a,1,p\nc,1,p\na,1,q\nc,1,q\n",
       {R"("stepOrder":{"row":1,"line":3,"expected":{"row":1,"pair":[0,1],"cells":["a","1","q"]},"given":{"row":2,"pair":[2,0]}})"}},
      {"columns out of the step's order",
       1,
       "s(k,x,y)\n1,a,p\n",
       {R"("inOrder":false,"outOfOrder":null,"decidingByte":null,"misplaced":0})",
        R"("right":[[0,0]])"}},
      {"the left operand an earlier step's outcome",
       2,
       "s(x,k,y,z)\na,1,p,Z\nc,1,p,W\n",
       {R"("cells":["a","1","q","W"],"sources":[{"relation":null,"name":"","row":1,"line":null},{"relation":2,"name":"C","row":1,"line":15}])",
        R"("place":2,"relation":2,"name":"C","with":[["y","p"]],"attribute":"z","value":"W")"}},
      {"the last step", 3, "s(w,x,k,y,z)\n", {R"("step":3,)", R"("checked":false)"}},
  };
  for (const Case& c : cases) {
    const std::string report = checkReportOf(input, c.answer, nullptr, c.step);
    for (const std::string& piece : c.pieces) {
      EXPECT_NE(report.find(piece), std::string::npos) << c.name << ": " << piece << "\nin\n"
                                                       << report;
    }
  }
}

// A deliberately simple reference: the chain joined by nested loops, every
// joined row with the row of each relation it is made of, in joined order.
struct RandomRelation {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
};
struct JoinedRow {
  std::vector<std::string> cells;
  std::vector<int> from;  // the row of each place
};

std::vector<JoinedRow> joinByLoops(const std::vector<const RandomRelation*>& places,
                                   std::vector<std::string>& names) {
  std::vector<JoinedRow> built;
  names = places[0]->names;
  for (int r = 0; r < static_cast<int>(places[0]->rows.size()); ++r) {
    built.push_back({places[0]->rows[static_cast<std::size_t>(r)], {r}});
  }
  for (std::size_t p = 1; p < places.size(); ++p) {
    const RandomRelation& right = *places[p];
    int left = -1;
    int rightColumn = -1;
    for (std::size_t a = 0; a < names.size() && left < 0; ++a) {
      const auto found = std::find(right.names.begin(), right.names.end(), names[a]);
      if (found != right.names.end()) {
        left = static_cast<int>(a);
        rightColumn = static_cast<int>(found - right.names.begin());
      }
    }
    std::vector<JoinedRow> next;
    for (const JoinedRow& row : built) {
      for (int r = 0; r < static_cast<int>(right.rows.size()); ++r) {
        const auto& cells = right.rows[static_cast<std::size_t>(r)];
        if (left >= 0 && row.cells[static_cast<std::size_t>(left)] !=
                             cells[static_cast<std::size_t>(rightColumn)]) {
          continue;
        }
        JoinedRow joined = row;
        joined.from.push_back(r);
        for (int a = 0; a < static_cast<int>(cells.size()); ++a) {
          if (a != rightColumn) joined.cells.push_back(cells[static_cast<std::size_t>(a)]);
        }
        next.push_back(std::move(joined));
      }
    }
    for (int a = 0; a < static_cast<int>(right.names.size()); ++a) {
      if (a != rightColumn) names.push_back(right.names[static_cast<std::size_t>(a)]);
    }
    built = std::move(next);
  }
  return built;
}

std::string joinCells(const std::vector<std::string>& cells) {
  std::string text;
  for (std::size_t c = 0; c < cells.size(); ++c) text += (c > 0 ? "," : "") + cells[c];
  return text;
}

// Random chains of one to three relations, a self-join now and then, and
// answers mixing result's rows, repeats and random rows: which rows are
// right, missing and extra, the input rows each missing row is first joined
// from, the relation each extra row first fails at, and the first rows out
// of order, against the reference.
TEST(CheckTest, MatchesNestedLoopsOnRandomChains) {
  std::mt19937 random(20261210);
  const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::vector<std::string> alphabet = {"0", "1", "2"};
  for (int round = 0; round < 300; ++round) {
    std::vector<RandomRelation> relations(static_cast<std::size_t>(1 + below(3)));
    std::string input = "Q(";
    std::vector<int> list(static_cast<std::size_t>(1 + below(3)));
    for (std::size_t p = 0; p < list.size(); ++p) {
      list[p] = below(static_cast<int>(relations.size()));
      input += (p > 0 ? "," : "") + ("R" + std::to_string(list[p]));
    }
    input += ")\n\n";
    LineNumber line = 3;
    std::vector<LineNumber> firstRowLines;
    for (std::size_t i = 0; i < relations.size(); ++i) {
      RandomRelation& relation = relations[i];
      input += "R" + std::to_string(i) + "(";
      for (int a = 0, width = 1 + below(3); a < width; ++a) {
        relation.names.push_back(std::string(1, static_cast<char>('a' + below(4))));
        input += (a > 0 ? "," : "") + relation.names.back();
      }
      input += ")\n";
      firstRowLines.push_back(line + 1);
      for (int r = 0, rows = below(5); r < rows; ++r) {
        auto& cells = relation.rows.emplace_back();
        for (std::size_t a = 0; a < relation.names.size(); ++a)
          cells.push_back(alphabet[static_cast<std::size_t>(below(3))]);
        input += joinCells(cells) + "\n";
      }
      input += "\n";
      line += static_cast<LineNumber>(relation.rows.size()) + 2;
    }
    std::vector<const RandomRelation*> places;
    for (const int i : list) places.push_back(&relations[static_cast<std::size_t>(i)]);
    std::vector<std::string> joinedNames;
    const std::vector<JoinedRow> joined = joinByLoops(places, joinedNames);

    // Result: the joined columns stably sorted by name, distinct rows sorted.
    std::vector<std::size_t> order(joinedNames.size());
    for (std::size_t c = 0; c < order.size(); ++c) order[c] = c;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return joinedNames[a] < joinedNames[b]; });
    std::map<std::string, std::vector<int>> firstFrom;  // result text -> first joined row's rows
    for (const JoinedRow& row : joined) {
      std::vector<std::string> cells;
      for (const std::size_t c : order) cells.push_back(row.cells[c]);
      firstFrom.try_emplace(joinCells(cells), row.from);
    }
    std::vector<std::string> resultRows;
    for (const auto& [text, from] : firstFrom) resultRows.push_back(text);

    std::string answer = "result(";
    for (std::size_t c = 0; c < order.size(); ++c)
      answer += (c > 0 ? "," : "") + joinedNames[order[c]];
    answer += ")\n\n";
    std::vector<std::string> answerRows;
    const bool whole = below(4) == 0;  // result's rows, perhaps two swapped
    if (whole) {
      answerRows = resultRows;
      if (answerRows.size() > 1 && below(2) == 0) std::swap(answerRows[0], answerRows.back());
    }
    for (int r = 0, rows = whole ? 0 : below(6); r < rows && !order.empty(); ++r) {
      const int kind = below(3);
      if (kind == 0 && !resultRows.empty()) {
        answerRows.push_back(
            resultRows[static_cast<std::size_t>(below(static_cast<int>(resultRows.size())))]);
      } else if (kind == 1 && !answerRows.empty()) {
        answerRows.push_back(
            answerRows[static_cast<std::size_t>(below(static_cast<int>(answerRows.size())))]);
      } else {
        std::vector<std::string> cells;
        for (std::size_t c = 0; c < order.size(); ++c)
          cells.push_back(alphabet[static_cast<std::size_t>(below(3))]);
        answerRows.push_back(joinCells(cells));
      }
    }
    for (const std::string& row : answerRows) answer += row + "\n";

    std::optional<AnswerCheck> check;
    checkReportOf(input, answer, &check);
    ASSERT_TRUE(check) << input << answer;
    const std::string context = input + "---\n" + answer;

    std::vector<std::array<int, 2>> right;
    std::vector<int> repeats;
    std::vector<int> extra;
    std::map<std::string, int> seen;
    std::vector<bool> answered(resultRows.size());
    for (int i = 0; i < static_cast<int>(answerRows.size()); ++i) {
      const std::string& row = answerRows[static_cast<std::size_t>(i)];
      if (!seen.try_emplace(row, i).second) {
        repeats.push_back(i);
        continue;
      }
      const auto at = std::find(resultRows.begin(), resultRows.end(), row);
      if (at == resultRows.end()) {
        extra.push_back(i);
        continue;
      }
      right.push_back({i, static_cast<int>(at - resultRows.begin())});
      answered[static_cast<std::size_t>(at - resultRows.begin())] = true;
    }
    EXPECT_EQ(check->right, right) << context;
    std::vector<int> missing;
    for (std::size_t r = 0; r < resultRows.size(); ++r) {
      if (answered[r]) continue;
      missing.push_back(static_cast<int>(r));
      const auto& told =
          std::find_if(check->missing.begin(), check->missing.end(),
                       [&](const MissingRow& m) { return m.row == static_cast<int>(r); });
      ASSERT_NE(told, check->missing.end()) << context;
      const std::vector<int>& from = firstFrom[resultRows[r]];
      ASSERT_EQ(told->sources.size(), from.size()) << context;
      for (std::size_t p = 0; p < from.size(); ++p) {
        EXPECT_EQ(told->sources[p].relation, list[p]) << context;
        EXPECT_EQ(told->sources[p].row, from[p]) << context;
        EXPECT_EQ(told->sources[p].line,
                  firstRowLines[static_cast<std::size_t>(list[p])] + from[p]);
      }
    }
    EXPECT_EQ(check->missing.size(), missing.size()) << context;

    // An extra row fails at the first place none of whose rows has its
    // cells there: the first place no partial joined row of the places
    // before it and that place makes.
    std::vector<int> toldRepeats;
    std::vector<int> toldExtra;
    for (const ExtraRow& row : check->extra) {
      (row.reason == ExtraReason::repeats ? toldRepeats : toldExtra).push_back(row.row);
      if (row.reason == ExtraReason::repeats) continue;
      std::vector<std::string> answerCells(order.size());
      {
        std::istringstream cells(answerRows[static_cast<std::size_t>(row.row)] + ",");
        for (std::string& cell : answerCells) std::getline(cells, cell, ',');
      }
      std::size_t place = 0;
      for (; place < places.size(); ++place) {
        const std::vector<const RandomRelation*> prefix(
            places.begin(), places.begin() + static_cast<std::ptrdiff_t>(place) + 1);
        std::vector<std::string> prefixNames;
        const std::vector<JoinedRow> partial = joinByLoops(prefix, prefixNames);
        const bool made = std::any_of(partial.begin(), partial.end(), [&](const JoinedRow& p) {
          for (std::size_t c = 0; c < prefixNames.size(); ++c) {
            const auto column =
                static_cast<std::size_t>(std::find(order.begin(), order.end(), c) - order.begin());
            if (p.cells[c] != answerCells[column]) return false;
          }
          return true;
        });
        if (!made) break;
      }
      EXPECT_EQ(row.place, static_cast<int>(place)) << context;
      EXPECT_EQ(row.relation, list[place]) << context;
    }
    EXPECT_EQ(toldRepeats, repeats) << context;
    EXPECT_EQ(toldExtra, extra) << context;

    std::optional<int> outOfOrder;
    if (missing.empty() && extra.empty() && repeats.empty()) {
      for (std::size_t i = 0; i + 1 < answerRows.size() && !outOfOrder; ++i) {
        if (answerRows[i + 1] < answerRows[i]) outOfOrder = static_cast<int>(i);
      }
    }
    EXPECT_EQ(check->rowOrder.has_value(), outOfOrder.has_value()) << context;
    if (check->rowOrder && outOfOrder) {
      EXPECT_EQ(check->rowOrder->row, *outOfOrder) << context;
    }

    // Step 1's built relation predicted whole, its first and last rows
    // perhaps swapped: each row's pair of operand rows, and whether a row is
    // out of the step's order, against the reference.
    if (places.size() < 3) continue;
    std::vector<std::string> stepNames;
    const std::vector<JoinedRow> step = joinByLoops({places[0], places[1]}, stepNames);
    std::vector<std::string> stepRows;
    for (const JoinedRow& row : step) stepRows.push_back(joinCells(row.cells));
    const bool swapped = stepRows.size() > 1 && below(2) == 0;
    if (swapped) std::swap(stepRows[0], stepRows.back());
    std::string predicted = "s(" + joinCells(stepNames) + ")\n";
    for (const std::string& row : stepRows) predicted += row + "\n";
    std::optional<AnswerCheck> stepCheck;
    checkReportOf(input, predicted, &stepCheck, 1);
    ASSERT_TRUE(stepCheck) << input << predicted;
    EXPECT_EQ(stepCheck->right.size(), step.size()) << input << predicted;
    EXPECT_TRUE(stepCheck->missing.empty() && stepCheck->extra.empty()) << input << predicted;
    ASSERT_EQ(stepCheck->pairs.size(), step.size()) << input << predicted;
    for (std::size_t r = 0; r < step.size(); ++r) {
      EXPECT_EQ(stepCheck->pairs[r], (std::array<int, 2>{step[r].from[0], step[r].from[1]}))
          << input << predicted;
    }
    EXPECT_EQ(stepCheck->stepOrder.has_value(), swapped && stepRows[0] != stepRows.back())
        << input << predicted;
  }
}

}  // namespace
}  // namespace joinrel
