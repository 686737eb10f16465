#!/usr/bin/python3
"""A small driverless (eSCL) scanner on the loopback interface, for tests.

It has a platen and a sheet feeder, scans in colour and grey at 300 dpi and sends
JPEG documents. The sheets in its feeder are the *.jpg files of --pages, taken in
name order; a job hands out one sheet per NextDocument. The files are sent as they
are, so the test makes them in the colour mode it scans in.

    escl_scanner.py --pages DIR [--jam-on N | --cover-open-on N] [--sheet-ms MS] [--log FILE]

Prints "PORT <n>" on its first line of output once it listens on 127.0.0.1:<n>.
Ends when its standard input closes, so it never outlives the test that started it.
Every request is written to --log as one JSON line (method, path, status, and for a
new job its settings), so tests can check what the driver asked for.
"""
import argparse
import http.server
import json
import os
import re
import sys
import threading
import time
import uuid
import xml.etree.ElementTree as ET

PWG = "http://www.pwg.org/schemas/2010/12/sm"
SCAN = "http://schemas.hp.com/imaging/escl/2011/05/03"
MAKE_AND_MODEL = "Arkavo Loopback eSCL"
SERIAL = "ARK-0001"
DEVICE_UUID = "4a2e9b1c-5d6f-4e8a-9b7c-1d2e3f4a5b6c"
DPI = 300
# Scan area limits in 1/300 inch: up to A4 and Letter.
MAX_WIDTH, MAX_HEIGHT = 2550, 3508


def input_caps(tag):
    return f"""<scan:{tag}>
      <scan:MinWidth>16</scan:MinWidth><scan:MaxWidth>{MAX_WIDTH}</scan:MaxWidth>
      <scan:MinHeight>16</scan:MinHeight><scan:MaxHeight>{MAX_HEIGHT}</scan:MaxHeight>
      <scan:MaxScanRegions>1</scan:MaxScanRegions>
      <scan:SettingProfiles><scan:SettingProfile>
        <scan:ColorModes><scan:ColorMode>RGB24</scan:ColorMode><scan:ColorMode>Grayscale8</scan:ColorMode></scan:ColorModes>
        <scan:DocumentFormats><pwg:DocumentFormat>image/jpeg</pwg:DocumentFormat><scan:DocumentFormatExt>image/jpeg</scan:DocumentFormatExt></scan:DocumentFormats>
        <scan:SupportedResolutions><scan:DiscreteResolutions><scan:DiscreteResolution>
          <scan:XResolution>{DPI}</scan:XResolution><scan:YResolution>{DPI}</scan:YResolution>
        </scan:DiscreteResolution></scan:DiscreteResolutions></scan:SupportedResolutions>
        <scan:ColorSpaces><scan:ColorSpace>YCC</scan:ColorSpace></scan:ColorSpaces>
      </scan:SettingProfile></scan:SettingProfiles>
      <scan:SupportedIntents><scan:Intent>Document</scan:Intent><scan:Intent>TextAndGraphic</scan:Intent><scan:Intent>Photo</scan:Intent></scan:SupportedIntents>
      <scan:MaxOpticalXResolution>{DPI}</scan:MaxOpticalXResolution><scan:MaxOpticalYResolution>{DPI}</scan:MaxOpticalYResolution>
    </scan:{tag}>"""


CAPABILITIES = f"""<?xml version="1.0" encoding="UTF-8"?>
<scan:ScannerCapabilities xmlns:pwg="{PWG}" xmlns:scan="{SCAN}">
  <pwg:Version>2.63</pwg:Version>
  <pwg:MakeAndModel>{MAKE_AND_MODEL}</pwg:MakeAndModel>
  <pwg:SerialNumber>{SERIAL}</pwg:SerialNumber>
  <scan:UUID>{DEVICE_UUID}</scan:UUID>
  <scan:Platen>{input_caps("PlatenInputCaps")}</scan:Platen>
  <scan:Adf>{input_caps("AdfSimplexInputCaps")}
    <scan:FeederCapacity>50</scan:FeederCapacity>
    <scan:AdfOptions><scan:AdfOption>DetectPaperLoaded</scan:AdfOption></scan:AdfOptions>
  </scan:Adf>
</scan:ScannerCapabilities>
"""


class Job:
    def __init__(self, source, settings):
        self.id = str(uuid.uuid4())
        self.source = source  # "Platen" or "Feeder"
        self.settings = settings
        self.state = "Processing"
        self.reason = "JobScanning"
        self.delivered = 0
        self.created = time.monotonic()


class Device:
    """The scanner's state; every request handler holds the lock."""

    def __init__(self, sheets, fault_sheet, fault_state, sheet_seconds):
        self.lock = threading.Lock()
        self.sheet_seconds = sheet_seconds
        self.sheets = sheets  # file paths still in the feeder, next first
        self.fed = 0  # sheets taken from the feeder so far
        self.fault_sheet = fault_sheet  # 1-based sheet that jams or finds the cover open
        self.fault_state = fault_state  # "ScannerAdfJam" or "ScannerAdfDoorOpen"
        self.fault = None  # the feeder's fault once it happened
        self.jobs = {}

    def adf_state(self):
        if self.fault:
            return self.fault
        return "ScannerAdfLoaded" if self.sheets else "ScannerAdfEmpty"

    def busy(self):
        return any(j.state == "Processing" for j in self.jobs.values())

    def status_xml(self):
        jobs = "".join(
            f"""<scan:JobInfo><pwg:JobUri>/eSCL/ScanJobs/{j.id}</pwg:JobUri><pwg:JobUuid>{j.id}</pwg:JobUuid>
  <scan:Age>{int(time.monotonic() - j.created)}</scan:Age><pwg:ImagesCompleted>{j.delivered}</pwg:ImagesCompleted>
  <pwg:ImagesToTransfer>{1 if j.state == "Processing" else 0}</pwg:ImagesToTransfer>
  <pwg:JobState>{j.state}</pwg:JobState><pwg:JobStateReasons><pwg:JobStateReason>{j.reason}</pwg:JobStateReason></pwg:JobStateReasons></scan:JobInfo>"""
            for j in self.jobs.values())
        state = "Processing" if self.busy() else ("Stopped" if self.fault else "Idle")
        return f"""<?xml version="1.0" encoding="UTF-8"?>
<scan:ScannerStatus xmlns:pwg="{PWG}" xmlns:scan="{SCAN}">
  <pwg:Version>2.63</pwg:Version>
  <pwg:State>{state}</pwg:State>
  <scan:AdfState>{self.adf_state()}</scan:AdfState>
  <scan:Jobs>{jobs}</scan:Jobs>
</scan:ScannerStatus>
"""


def parse_settings(body):
    """The parts of a ScanSettings document the device acts on, by element name."""
    wanted = {"InputSource", "ColorMode", "XResolution", "YResolution", "DocumentFormatExt",
              "DocumentFormat", "Width", "Height", "XOffset", "YOffset", "Intent"}
    settings = {}
    root = ET.fromstring(body)
    for element in root.iter():
        name = element.tag.rsplit("}", 1)[-1]
        if name in wanted and element.text and name not in settings:
            settings[name] = element.text.strip()
    return settings


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    device = None
    log = None

    def log_message(self, *args):
        pass  # the JSON log says enough

    def record(self, status, **extra):
        entry = {"method": self.command, "path": self.path, "status": status, **extra}
        if Handler.log:
            with Handler.log_lock:
                Handler.log.write(json.dumps(entry) + "\n")
                Handler.log.flush()

    def reply(self, status, body=b"", content_type="text/xml", headers=(), **extra):
        self.record(status, **extra)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if body and self.command != "HEAD":
            self.wfile.write(body)

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def do_GET(self):
        d = self.device
        path = self.path.split("?", 1)[0]
        if path == "/eSCL/ScannerCapabilities":
            return self.reply(200, CAPABILITIES.encode())
        if path == "/eSCL/ScannerStatus":
            with d.lock:
                return self.reply(200, d.status_xml().encode())
        m = re.fullmatch(r"/eSCL/ScanJobs/([^/]+)/NextDocument", path)
        if m:
            return self.next_document(m.group(1))
        self.reply(404)

    def next_document(self, job_id):
        d = self.device
        with d.lock:
            job = d.jobs.get(job_id)
            if job is None or job.state != "Processing":
                return self.reply(404)
        # Scanning the sheet takes the device a while; a job deleted meanwhile stops
        # the feeder before the sheet is taken.
        time.sleep(d.sheet_seconds)
        with d.lock:
            if job.state != "Processing":
                return self.reply(404)
            if job.source == "Platen":
                if job.delivered >= 1 or not d.sheets:
                    job.state, job.reason = "Completed", "JobCompletedSuccessfully"
                    return self.reply(404)
                path = d.sheets[0]  # the platen scans the page lying on it
                sheet = 1
            else:
                if not d.sheets:
                    job.state, job.reason = "Completed", "JobCompletedSuccessfully"
                    return self.reply(404)
                if d.fed + 1 == d.fault_sheet:
                    d.fault = d.fault_state
                    job.state, job.reason = "Aborted", "ResourcesAreNotReady"
                    return self.reply(409, sheet=d.fed + 1)
                path = d.sheets.pop(0)
                d.fed += 1
                sheet = d.fed
            job.delivered += 1
        with open(path, "rb") as f:
            data = f.read()
        # Logged as sent only once the driver has taken all of it.
        try:
            self.send_response(200)
            self.send_header("Content-Type", "image/jpeg")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
            self.wfile.flush()
        except OSError:
            return self.record("aborted", sheet=sheet, file=os.path.basename(path))
        self.record(200, sheet=sheet, file=os.path.basename(path))

    def do_POST(self):
        d = self.device
        if self.path.split("?", 1)[0] != "/eSCL/ScanJobs":
            self.read_body()
            return self.reply(404)
        try:
            settings = parse_settings(self.read_body())
        except ET.ParseError:
            return self.reply(400)
        source = "Feeder" if settings.get("InputSource") == "Feeder" else "Platen"
        with d.lock:
            if d.busy():
                return self.reply(503, settings=settings)
            if settings.get("ColorMode", "RGB24") not in ("RGB24", "Grayscale8") or \
                    int(settings.get("XResolution", DPI)) != DPI or int(settings.get("YResolution", DPI)) != DPI:
                return self.reply(409, settings=settings)
            if source == "Feeder" and (d.fault or not d.sheets):
                return self.reply(409, settings=settings)
            job = Job(source, settings)
            d.jobs[job.id] = job
        host = self.headers.get("Host") or f"127.0.0.1:{self.server.server_address[1]}"
        self.reply(201, headers=[("Location", f"http://{host}/eSCL/ScanJobs/{job.id}")],
                   settings=settings, job=job.id)

    def do_DELETE(self):
        d = self.device
        m = re.fullmatch(r"/eSCL/ScanJobs/([^/]+)", self.path.split("?", 1)[0])
        with d.lock:
            job = d.jobs.get(m.group(1)) if m else None
            if job is None:
                return self.reply(404)
            if job.state == "Processing":
                job.state, job.reason = "Canceled", "JobCanceledByUser"
        self.reply(200)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pages", required=True, help="folder of the sheets, *.jpg in name order")
    fault = parser.add_mutually_exclusive_group()
    fault.add_argument("--jam-on", type=int, default=0, metavar="N", help="the N-th sheet jams")
    fault.add_argument("--cover-open-on", type=int, default=0, metavar="N",
                       help="the cover is found open when the N-th sheet is due")
    parser.add_argument("--sheet-ms", type=int, default=0, metavar="MS",
                        help="time the device takes to scan one sheet")
    parser.add_argument("--log", help="file that receives one JSON line per request")
    args = parser.parse_args()

    sheets = sorted(os.path.join(args.pages, n) for n in os.listdir(args.pages) if n.endswith(".jpg"))
    if args.jam_on:
        device = Device(sheets, args.jam_on, "ScannerAdfJam", args.sheet_ms / 1000)
    else:
        device = Device(sheets, args.cover_open_on, "ScannerAdfDoorOpen", args.sheet_ms / 1000)
    Handler.device = device
    Handler.log = open(args.log, "a", encoding="utf-8") if args.log else None
    Handler.log_lock = threading.Lock()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(f"PORT {server.server_address[1]}", flush=True)
    # The test holds our standard input open; when it ends (or dies), so do we.
    while sys.stdin.buffer.read(4096):
        pass
    os._exit(0)


if __name__ == "__main__":
    main()
