#!/usr/bin/env bash
# The demo set-up driven by a real HTTP client: lighttpd runs nvr.cgi against nvr-sim, and curl works
# the login, user and disk pages the way the web pages do. Run by tools/demo.sh --run, which provides
# NVR_CGI_URL and NVR_ADMIN_MD5.
set -uo pipefail
cgi=${NVR_CGI_URL:?} md5=${NVR_ADMIN_MD5:?}
passed=0 failed=0

check() {  # check NAME EXPECTED ACTUAL: EXPECTED is an extended regular expression over the body
    if printf '%s' "$3" | grep -Eq -- "$2"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED %s\n  expected /%s/\n  got      %s\n' "$1" "$2" "$3"
    fi
}
# Every page but the login carries the session of the administrator's login, as the web pages do.
cookie=
get() { curl -sS --max-time 60 -b "$cookie" "$cgi/$1"; }
post() { curl -sS --max-time 60 -b "$cookie" -X POST -H 'Content-Type: application/json' -d "$2" "$cgi/$1"; }
status() { curl -sS --max-time 60 -o /dev/null -w '%{http_code} ' "$@"; }

login=$(post 1000 "{\"userName\":\"admin\",\"md5\":\"$md5\"}")
check "log in" '"type": 0, "userName": "admin".*"sessionId": "[0-9]{32}"' "$login"
cookie="sessionId=$(printf '%s' "$login" | sed -n 's/.*"sessionId": "\([0-9]*\)".*/\1/p'); userName=admin"
check "pages refused without a session, and to another site" '^401 401 403 $' \
    "$(status "$cgi/6070")$(status -b 'sessionId=12345678901234567890123456789012' "$cgi/6100")$(
       status -b "$cookie" -H 'Sec-Fetch-Site: cross-site' "$cgi/6070")"
check "wrong password" '^\{ "type": -1 \}$' "$(post 1000 '{"userName":"admin","md5":"00000000000000000000000000000000"}')"

user='{"name":"viewer","password":"5f4dcc3b5aa765d61d8327deb882cf99","type":2,"permission":0,"remotePermission":0,
       "localliveview":"101","localplayback":"0","remoteliveview":"1","remoteplayback":"0","remoteLiveView":1}'
added=$(post 6071 "$user")
check "add a user" '^id=[0-9]+$' "$added"
id=${added#id=}
check "same name refused" '^SAMEUSER$' "$(post 6071 "$user")"
check "list users" "\"id\": $id, \"enable\": 1, \"name\": \"viewer\"" "$(get 6070)"
check "new user logs in" '"type": 2, "userName": "viewer"' \
    "$(post 1000 '{"userName":"viewer","md5":"5F4DCC3B5AA765D61D8327DEB882CF99"}')"
check "change the user" '^OK$' "$(post 6072 "{\"id\":$id,\"name\":\"operator\",\"type\":1}")"
check "changed in the list" "\"id\": $id, \"enable\": 1, \"name\": \"operator\", \"password\": \"[0-9a-f]{32}\", \"type\": 1" \
    "$(get 6070)"
check "delete the user" '^OK$' "$(post 6073 "{\"id\":$id,\"type\":1}")"
list=$(get 6070)
check "deleted user gone" '^\[ \{ "id": 0, ' "$list"
if printf '%s' "$list" | grep -q '"operator"'; then
    failed=$((failed + 1)); echo "FAILED deleted user still listed"
else
    passed=$((passed + 1))
fi

disks=$(get 6100)
check "disk list" '^\{ "resultString": "OK", "esataType": 0, "HDD": \[ \{ "portId": 1,.*"maxDiskNum": 36 \}$' "$disks"
check "offline network disk" '"portId": 9, "vendorName": "[^"]*", "address": "192.0.2.50".*"state": 2' "$disks"
check "create a RAID array" '^OK$' "$(post 6104 '{"id":10,"enable":1,"level":1,"sata_cnt":2,"sata_port":6}')"
check "array listed" '"portId": 10,.*"raid_level": 1,.*"raid_sata_cnt": 2,.*"raid_sata_port": 6' "$(get 6100)"
check "format a disk" '^OK$' "$(get '6102?4')"
check "raid mode" '^0$' "$(get 6108)"

# The service commands run the chip tool's stand-in from the web server's PATH.
check "chip identification" '^OK chipinfo=VXC7A01_________VXN7016_________'$'\r''$' "$(get 'vb.htm?paratest=chipinfo')"
check "change the model part" '^OK modelupdate$' "$(get 'vb.htm?modelupdate=NVR-16')"
check "model part changed" '^OK chipinfo=VXC7A01_________NVR-16__________' "$(get 'vb.htm?paratest=chipinfo')"
check "service language" '^OK$' "$(get 'vb.htm?setlang=1')"
# The device log holds what the pages above did.
query='"language":"en","mainType":4,"subTypeArr":[204],"curPageNum":1'
logs=$(post 1002 "{$query,\"startTime\":\"2000-01-01 00:00:00\",\"endTime\":\"2037-12-31 23:59:59\",\"chnMask\":\"\"}")
check "log search" '^\{ "count": [0-9]+, "num": [0-9]+, "curPageNum": 1, "log": \[ \{ "no": 0, ' "$logs"
check "user changes in the log" '"parameterValue": 922, "parameter": "User deleted".*"parameterValue": 921, "parameter": "User added"' "$logs"
check "log types" '^\{ "mainType": \[ \{ "key": 1, "name": "All" \}, \{ "key": 2, "name": "Event" \}' "$(post 1015 '{"lan":"en"}')"
# The export reads operation sub types as bit sets: 10 + bit 4 of the third word is 204.
csv=$(post 1003 "{\"language\":\"en\",\"mainType\":4,\"subTypeArr\":[11,10,26],\"curPageNum\":1,\"startTime\":\"2000-01-01T00:00:00\",\"endTime\":\"2037-12-31T23:59:59\",\"ch\":\"0\"}")
check "log export" '^Number,Time,Main,Sub,Parameter,User,Ip,Channel,Log information,' "$csv"
check "exported rows" ',Operation,Remote configuration,User added,admin,' "$csv"
check "no export running" '^NO$' "$(get 1022)"
check "camera IO stored" '^OK$' "$(post 6091 '{"camId":2,"enable":1,"type":1,"triActions":4,"triChannels":"0101"}')"
check "camera IO read from the device" '^\{ "camId": 2, "enable": 1, "type": 1, "triActions": 4, "triChannels": "0101(0){60}" \}$' \
    "$(get '6090?2')"
check "motion settings" '^OK$' "$(post 6012 '{"camId":1,"enable":1,"sensitivity":4,"triChannels":"1","triAlarms":0,
    "interval":10,"motionTable":"ff00","enableMS":0}')"
check "motion map" '^\{ "map": "ff00", "sensitivity": 4, "result": 0, "enable": 1, .*"enableAI": 0 \}$' "$(post 6098 '{"id":1}')"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
