// The rules both front ends (the window and tarvelo-cli) apply, kept once: what may be
// registered where, which slaves are listed, how a position is labelled, and the texts
// and names of the start-up refusals.
#pragma once

#include <string>
#include <vector>

struct SLAVE;

// The switch positions, 1 to 14; position p is registered-ID entry p - 1.
constexpr int PositionCount = 14;
// The empty ID: the position holds no slave.
extern const std::string EmptyId;
// What stands for a position whose ID could not be read from the master: no rule takes it
// for free or for an ID.
extern const char* const UnreadText;

// The name of the single-instance mutex shared with every program of the instrument family,
// blanks included.
constexpr const char* SingleInstanceMutex = "VQM44TN QUELIN ZOMRA";
// The start-up refusals: another program of the family holds the mutex; the master unit
// cannot be prepared.
extern const char* const AlreadyRunningText;
extern const char* const NotPreparedText;

// True for 12 hexadecimal digits, either case (the master may answer either).
bool IsWellFormedId(const std::string& id);
// True for a position that holds no slave: empty text or the empty ID.
bool IsFreeId(const std::string& id);
// True when both texts name the same slave: equal but for the case of hex letters.
bool SameId(const std::string& a, const std::string& b);
// The form in which a newly registered ID enters the table: upper-case hex letters, as the
// module's set commands carry their argument. (IDs read from the master are kept as read.)
std::string RegisteredForm(const std::string& id);

// The label of a position, as the grid shows it: "01" to "0E" (two hex digits of the low
// byte for any other number).
std::string PositionLabel(int position);
// "03, 05": the labels of `positions`, in the order given.
std::string PositionLabels(const std::vector<int>& positions);

// The slaves a search found that the tool lists: those whose name begins with "ZOMRA", in
// the result's order, each slave once (the first record of an ID, whatever the case of
// its hex letters).
std::vector<SLAVE> ListedSlaves(const std::vector<SLAVE>& found);

enum RegistrationVerdict {
    rvAccepted,
    rvBadPosition,   // not a position 1 to 14
    rvMalformedId,   // not 12 hexadecimal digits (and not the empty ID)
    rvHeldElsewhere, // another position already holds the same slave
};
// May `id` be registered at `position` of `table` (table[p - 1] is position p; entries past
// the table count as free)? The empty ID is always accepted at a position: it releases it.
// Whether the position itself is free is the caller's rule: the window fills only free rows,
// the command line may overwrite one.
RegistrationVerdict CheckRegistration(const std::vector<std::string>& table, int position,
                                      const std::string& id);
