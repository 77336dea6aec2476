#!/usr/bin/env bash
# The BMP suite of Debian's source package pillow (folders g, q and b: good,
# questionable, bad): fetches it into the corpus cache and prints the folder
# that holds g/, q/ and b/. Non-zero, with the reason, when it cannot be had.
exec "$(dirname "$0")/fetch.sh" source pillow Tests/images/bmp
