#pragma once

#include <string>
#include <utility>
#include <vector>

#include "console/core/outcome.h"

namespace quarn::console {

// End Point 1 and End Point 2 of a pair a builder makes.
using BuiltPair = std::pair<std::string, std::string>;

// Every ordered pair among `ends` (n x (n - 1) pairs), in the order they are given.
std::vector<BuiltPair> MeshPairs(const std::vector<std::string>& ends);
// Each sender to the one target.
std::vector<BuiltPair> FanInPairs(const std::vector<std::string>& senders,
                                  const std::string& target);
// The one source to each receiver.
std::vector<BuiltPair> FanOutPairs(const std::string& source,
                                   const std::vector<std::string>& receivers);
// The reverse of each pair that is not there already, so both directions run at once.
std::vector<BuiltPair> ReversePairs(const std::vector<BuiltPair>& pairs);

// The builders the window offers over its two EndPoint lists.
enum class ListBuilder { Mesh, FanIn, FanOut };

// The pairs a window builder makes from the lists' selections (addresses in list order):
// a mesh among End Point 1's selection, fan-in from End Point 1's selection to the one End
// Point 2, fan-out from the one End Point 1 to End Point 2's selection. An EndPoint is
// never paired with itself. Refused with the notice to show when the selection does not
// fit the builder.
Result<std::vector<BuiltPair>> BuildFromLists(ListBuilder builder,
                                              const std::vector<std::string>& list1,
                                              const std::vector<std::string>& list2);
// "The mesh", "Fan-in", "Fan-out": how a notice names the builder.
std::string ListBuilderName(ListBuilder builder);

// Refused with what it would come to when `adding` pairs beside `existing` exceed the 16
// pairs: "The mesh would make 20 pairs; the max count of pairs is 16." Nothing is added
// then.
Outcome CheckBuilderRoom(const std::string& builder, int existing, int adding);

}  // namespace quarn::console
