// Saved store states; see ZvStoreState.h.
#include "ZvStoreState.h"

#include <utility>

ZvStoreState::ZvStoreState(ZvHandle store, std::vector<Entry> entries)
    : store_(store), entries_(std::move(entries)) {}
