#!/usr/bin/env bash
# Go 1.19's image package with its test data (Debian binary package
# golang-1.19-src): fetches it into the corpus cache and prints the folder
# that holds testdata/. Non-zero, with the reason, when it cannot be had.
exec "$(dirname "$0")/fetch.sh" binary golang-1.19-src usr/share/go-1.19/src/image
