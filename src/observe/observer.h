// What a run can tell a watcher besides the output file: every relation as it
// is written, every join step and what it decided about each row, and the
// fatal message that stops it. The command line watches nothing; the page
// does, to show the run as it went.
#pragma once

#include <cstdint>
#include <span>

#include "input/input.h"
#include "join/join.h"
#include "messages/messages.h"
#include "relation/relation.h"

namespace joinrel {

// Receives a run's events in the order they happen. A method must not throw:
// a watcher must not change what the run does.
class RunObserver {
 public:
  RunObserver() = default;
  RunObserver(const RunObserver&) = delete;
  RunObserver& operator=(const RunObserver&) = delete;
  virtual ~RunObserver() = default;

  // The recorder each join step tells of its rows' fates, or none, when the
  // watcher does not ask for them: the join then tells nobody. A watcher
  // with a recorder is also offered the names similar to an unknown one.
  virtual RowRecorder* rowRecorder() = 0;

  // What the reader tells of the pieces it reads, or none, when the watcher
  // does not ask: the reader then tells nobody.
  virtual ReadNotes* readNotes() { return nullptr; }

  // An input relation, just written to the output file; every one, in file
  // order, the ones the join does not read included. Its row i is input line
  // `firstRowLine` + i.
  virtual void relationWritten(const Relation& relation, LineNumber firstRowLine) = 0;
  // The relations the join list names, by their index in file order, in
  // list order; once every relation is written, before the first step.
  virtual void joinListResolved(std::span<const std::int64_t> relations) = 0;
  // Whether joinStepDone() reads the rows of the steps before the last,
  // which are otherwise never written as text.
  virtual bool readsStepRows() const { return true; }
  // A join step, just done, once its rows have been told to rowRecorder().
  virtual void joinStepDone(const JoinStep& step) = 0;
  // `result` as the join hands it over, just before it is put in its final
  // form: the last step's outcome, a copy of the only relation a one-name
  // join list names, or an empty relation when it names none.
  virtual void resultBuilt(const Relation& result) = 0;
  // `result`, just written in its final form.
  virtual void resultWritten(const Relation& result) = 0;
  // The fatal message that stops the run, just shown: its kind, the input
  // line it names (0 when it names none) and its particulars.
  virtual void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) = 0;
};

// The watcher of a run that nobody watches, such as the command line's: it
// asks for nothing and ignores every event.
class SilentObserver final : public RunObserver {
 public:
  RowRecorder* rowRecorder() override { return nullptr; }
  void relationWritten(const Relation& /*relation*/, LineNumber /*firstRowLine*/) override {}
  void joinListResolved(std::span<const std::int64_t> /*relations*/) override {}
  bool readsStepRows() const override { return false; }
  void joinStepDone(const JoinStep& /*step*/) override {}
  void resultBuilt(const Relation& /*result*/) override {}
  void resultWritten(const Relation& /*result*/) override {}
  void runStopped(MessageKind /*kind*/, LineNumber /*line*/,
                  const Particulars& /*particulars*/) override {}
};

}  // namespace joinrel
