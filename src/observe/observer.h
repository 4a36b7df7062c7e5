// What a run can tell a watcher besides the output file: every relation as it
// is written, every join step, and the fatal message that stops it. The
// command line watches nothing; the page does, to show the run as it went.
#pragma once

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

  // True when the watcher wants the run explained: each step's lineage and
  // the tidying (resultTidied). Asked for each step and once before result.
  virtual bool explains() const = 0;

  // An input relation, just written to the output file; every one, in file
  // order, the ones the join does not read included. Its row i is input line
  // `firstRowLine` + i.
  virtual void relationWritten(const Relation& relation, LineNumber firstRowLine) = 0;
  // A join step, just done; with its lineage, and the last step's rows
  // whole, when the watcher explains().
  virtual void joinStepDone(const JoinStep& step) = 0;
  // How `result` is tidied from the last step's outcome (from the only
  // relation a one-name join list names; from an empty relation when it
  // names none), just before resultWritten; only when the watcher explains().
  virtual void resultTidied(const TidyLineage& tidy) = 0;
  // `result`, just written in its final form.
  virtual void resultWritten(const Relation& result) = 0;
  // The fatal message that stops the run, just shown: its kind, the input
  // line it names (0 when it names none) and its particulars.
  virtual void runStopped(MessageKind kind, LineNumber line, const Particulars& particulars) = 0;
};

// The watcher of a run that nobody watches, such as the command line's: it
// ignores every event.
class SilentObserver final : public RunObserver {
 public:
  bool explains() const override { return false; }
  void relationWritten(const Relation& /*relation*/, LineNumber /*firstRowLine*/) override {}
  void joinStepDone(const JoinStep& /*step*/) override {}
  void resultTidied(const TidyLineage& /*tidy*/) override {}
  void resultWritten(const Relation& /*result*/) override {}
  void runStopped(MessageKind /*kind*/, LineNumber /*line*/,
                  const Particulars& /*particulars*/) override {}
};

}  // namespace joinrel
