// The expected checksum: loaded from the first line of a file the user picks.
#pragma once

// The ExpectedBrowseButton: the open requester, then the chosen file's first line into ExpectedEntry.
void loadExpectedChecksum();
