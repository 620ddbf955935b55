# shellcheck shell=bash
# Sourced by the scripts that start copies. The number a copy's log (its standard error,
# in file $1) names once its source exists: this build's "copy No N publishes" line, or
# an older build's title line, so older builds can be measured alike. Empty before.
settled_number() {
    sed -n -e 's/^skyfill: notice: copy No \([0-9]*\) publishes .*/\1/p' \
        -e 's/^skyfill: Kova Skyfill for NDI.* - No \([0-9]*\)$/\1/p' "$1" | head -n 1
}
