// Merging an appended map into the current one.
#pragma once

#include "mapper/cell_list.h"

namespace tarnel {

class Client;

// Walks both maps from a (current map) and b (appended) in step, the
// current map taking the links it lacks; appended rooms it reaches join the
// map under new numbers.  Rooms are marked with the current pass.
void Merge(Client& c, tmudcell* a, tmudcell* b);
// Merge from an entry point, then the adopted rooms moved from the appended
// list into the map, exit values made to match the links, and the layout
// renewed.
void MergeAtEntry(Client& c, tmudcell* a, tmudcell* b, TCellList& appended);

}  // namespace tarnel
