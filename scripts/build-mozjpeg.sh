#!/usr/bin/env bash
# Placeholder until the mozjpeg build lands.
exit 0
