#!/bin/sh
# The strip that ./package.sh gives CPack: strips a program as Debian's dh_strip does,
# dropping also the compiler's version notes (.comment, .note), which nothing reads.
exec strip --remove-section=.comment --remove-section=.note "$@"
