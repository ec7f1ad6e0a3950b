# The program version as the programs show it (title bar, Version dialog,
# veldaris-run --version), and as the Windows zip is named. The one place of
# the package version: the build checks that the programs say the same.
set(VELDARIS_VERSION "1.25a")
