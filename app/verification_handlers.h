// The expected checksum: loaded from the first line of a file the user picks.
#pragma once

// The ExpectedBrowseButton: the open requester, then the chosen file's first line into ExpectedEntry.
void loadExpectedChecksum();
// The expected checksum has changed (typed, pasted or loaded): the rows keep their results and lose
// their verdicts, which described the text before. The next job compares again.
void expectedChecksumChanged();
