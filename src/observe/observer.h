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

  // An input relation, just written to the output file; every one, in file
  // order, the ones the join does not read included.
  virtual void relationWritten(const Relation& relation) = 0;
  // A join step, just done.
  virtual void joinStepDone(const JoinStep& step) = 0;
  // `result`, just written in its final form.
  virtual void resultWritten(const Relation& result) = 0;
  // The fatal message that stops the run, just shown: its kind, and the input
  // line it names (0 when it names none).
  virtual void runStopped(MessageKind kind, LineNumber line) = 0;
};

// The watcher of a run that nobody watches, such as the command line's: it
// ignores every event.
class SilentObserver final : public RunObserver {
 public:
  void relationWritten(const Relation& /*relation*/) override {}
  void joinStepDone(const JoinStep& /*step*/) override {}
  void resultWritten(const Relation& /*result*/) override {}
  void runStopped(MessageKind /*kind*/, LineNumber /*line*/) override {}
};

}  // namespace joinrel
