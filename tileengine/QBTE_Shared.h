// Small operations the tile engine's parts share: file-name endings, file tests, bounded text copies
// and the date text the level records carry.
#ifndef QBTE_SHARED_H
#define QBTE_SHARED_H

// 1 when both texts hold a '.' and `name` ends with `ext`, compared from the end without regard to
// case; 0 otherwise (also for NULL).
int MatchExtension(const char* name, const char* ext);
// 1 when the file opens for binary reading.
int FileExists(const char* path);
// Copies at most size - 1 characters and always terminates; 1, or 0 when nothing can be copied
// (NULL texts, size below 1).
int CopyBounded(char* dst, const char* src, int size);
// The current local date and time as asctime writes it, without its final line break
// ("Tue Dec  8 08:24:23 2026"); the text lives in the runtime's static buffer.
const char* NowText();

#endif
