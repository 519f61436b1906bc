#!/usr/bin/env bash
# Runs a command inside the virtual LAN's tool namespace.
exec ip netns exec "$NIMBREL_TOOL_NS" "$@"
