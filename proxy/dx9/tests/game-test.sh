#!/usr/bin/env bash
# The sample game through the proxy: placeholder until the game exists.
exit 0
