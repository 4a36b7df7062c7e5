// What a run can tell a watcher besides the output file: every relation as it
// is written, every join step, and the fatal message that stops it. The
// command line watches nothing; the page does, to show the run as it went.
#pragma once

#include <string_view>

#include "relation/messages.h"
#include "relation/relation.h"

namespace joinrel {

// One step of the join chain, valid for the length of the call.
struct JoinStep {
  std::string_view leftName;  // "" when the left operand is the chain built so far
  std::string_view rightName;
  std::string_view joinAttribute;  // "" for a product
  bool product = false;
  int leftRows = 0;
  int rightRows = 0;
  const Relation& built;  // the step's outcome, its name still blank; the last
                          // step's columns already in result's order
};

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

}  // namespace joinrel
