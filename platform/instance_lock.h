#pragma once

// A named lock that only one running copy of the game can hold. The operating
// system drops it when the process ends, so a crashed copy cannot leave it stuck.

namespace plat {

struct InstanceLock;

// Null when the lock cannot be created; `alreadyExists` tells whether another
// process holds the name (the returned handle then owns nothing).
InstanceLock* createInstanceLock(const char* name, bool* alreadyExists);
void closeInstanceLock(InstanceLock* lock);

}  // namespace plat
