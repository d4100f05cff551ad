#!/bin/sh
# Fails when a source of the core includes a layer above or beside its own. Layers, one way:
# foundation <- config, device, sequences <- app <- front ends (ui). The window's page logic
# (ostra_ui_logic) is kept free of Qt by its build: it has no Qt include path.
# Usage: check-layers.sh <src directory>
src=${1:-src}
status=0

forbid() {
    layer=$1
    pattern=$2
    found=$(grep -rnE "#include \"($pattern)/" "$src/$layer")
    if [ -n "$found" ]; then
        echo "$layer/ must not include $pattern/:"
        echo "$found"
        status=1
    fi
}

forbid foundation 'config|device|sequences|app|ui'
forbid config 'device|sequences|app|ui'
forbid device 'config|sequences|app|ui'
forbid sequences 'config|device|app|ui'
forbid app 'ui'
exit $status
