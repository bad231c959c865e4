#pragma once

// One rename that never replaces what is at the target, for the trash and for putting back.
// POSIX only (the Windows trash and put-back go through Qt).
namespace NoReplace {

// Renames `from` (relative to the folder descriptor fromAt, or AT_FDCWD) to `to` (relative to
// toAt); 0 when done, else -1 with errno set, EEXIST when something is at the target already.
//
// renameat2 with RENAME_NOREPLACE first. Where the kernel or the file system cannot do that
// (EINVAL, ENOSYS, EOPNOTSUPP: some network and FUSE file systems, older kernels, systems without
// renameat2), a hard link at the target, which never replaces, and the removal of the old name.
// Where hard links are missing too (EPERM or EOPNOTSUPP, as on FAT and exFAT), the target's name
// is reserved with an exclusively created placeholder (an empty file, or an empty folder for a
// folder) and the entry renamed over it. The placeholder is removed again when that rename fails.
int rename(int fromAt, const char* from, int toAt, const char* to);

// For tests: the ways of renaming that are taken to be missing, as if the file system lacked them.
enum class Missing { Nothing, NoReplaceFlag, NoReplaceFlagAndLinks };
void pretendMissing(Missing missing);

} // namespace NoReplace
