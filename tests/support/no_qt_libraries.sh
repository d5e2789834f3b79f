#!/bin/sh
# Fails when one of the given programs has a Qt library among its dependencies: the model
# libraries (base, data store, devices, communication, device handlers) and their tests must run
# without the GUI layer.
status=0
for program in "$@"; do
  if [ ! -x "$program" ]; then
    echo "missing: $program"
    status=1
    continue
  fi
  qt=$(ldd "$program" | grep -i 'libQt' || true)
  if [ -n "$qt" ]; then
    echo "$program links Qt:"
    echo "$qt"
    status=1
  fi
done
exit $status
