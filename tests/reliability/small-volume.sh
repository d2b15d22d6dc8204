#!/bin/sh
# Mounts (mount DIR) or unmounts (umount DIR) a tmpfs of 8500 KiB: a volume that
# fills up, for tests of programs that cannot mount one themselves (under Wine).
# Without the privilege to mount, leaves DIR an ordinary folder; the test skips.
set -u
case "$1" in
  mount)
    mkdir -p "$2"
    mountpoint -q "$2" && umount -l "$2"
    rm -rf "$2"/* 2>/dev/null
    mount -t tmpfs -o size=8500k tmpfs "$2" 2>/dev/null && touch "$2/.small-volume"
    exit 0 ;;
  umount)
    mountpoint -q "$2" && umount -l "$2"
    exit 0 ;;
esac
exit 2
