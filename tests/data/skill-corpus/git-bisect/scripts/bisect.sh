#!/bin/sh
git bisect start "$2" "$1" && git bisect run $3
