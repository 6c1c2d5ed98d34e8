// The device's exception kinds: the faults the main service watches and acts on by itself (a full
// or failing disk, a network fault, a failed recording ...). The pages show them by name, and the
// browser uses the names as JSON member names, so each is a short identifier.
//
//   kind  name            what happened
//    0    diskFull        no disk space left for recording
//    1    diskError       a disk reports read or write errors
//    2    illegalAccess   repeated failed sign-ins
//    3    ipConflict      another host uses the recorder's address
//    4    netDisconnect   the network cable is unplugged
//    5    recordFailed    a recording could not be written (has its own mail interval)
//    6    noDisk          no disk installed
//    7    diskOffline     a configured disk stopped answering
//    8    raidDegraded    a RAID array lost a member
//    9    raidFailed      a RAID array cannot be used
//   10    fanFailure      a fan stopped
//   11    overheat        the device is too hot
//   12    ""              reserved by the main service, no name: not shown
//   13    ""              reserved by the main service, no name: not shown
#pragma once

constexpr int VX_EXCEPTION_KINDS = 14;

// Copies the name of kind `i` (0..13) into `buffer`, cut to size - 1 characters and terminated; a
// kind without a name gives "". 0, or -1 ("" when there is room) when `i` is outside 0..13, the
// buffer is null or `size` is below 1.
int get_exception_name(int i, char *buffer, int size);
