"""PyMeasure instrument class for the DXU pulse generator, driven through
dxu-scpi (VISA resource TCPIP::host::5025::SOCKET).

    from dxu import DXU
    dxu = DXU("TCPIP::127.0.0.1::5025::SOCKET")
    dxu.gen1_period = 1.5e-3      # seconds
    dxu.ch2_width = 10e-6
    dxu.gen1_enabled = True       # runs generator 1 on the settings it holds
    print(dxu.id, dxu.check_errors())
"""
from pymeasure.instruments import Instrument
from pymeasure.instruments.validators import strict_discrete_set, strict_range

# What the panel's boxes hold; the time base's counter range is checked by
# dxu-scpi (SYSTem:ERRor? says what it refused).
MAX_TIME = 10.736
MAX_PULSES = 131072
TIME_BASES = [20e-9, 40e-9, 80e-9, 160e-9]
SOURCES = {1: ["SOFT", "SYNC", "RIS", "FALL", "HIGH"], 2: ["SOFT", "GEN1"]}


class DXU(Instrument):
    """The DXU2 or DXU3 with two generators and four channels (1 and 2 on
    generator 1, 3 and 4 on generator 2). A setting changes only what it
    names; none starts a generator."""

    def __init__(self, adapter, name="Halvorn DXU", **kwargs):
        kwargs.setdefault("read_termination", "\n")
        kwargs.setdefault("write_termination", "\n")
        if isinstance(adapter, str):
            kwargs.setdefault("visa_library", "@py")
        super().__init__(adapter, name, includeSCPI=True, **kwargs)

    trigger_level = Instrument.control(
        "TRIG:LEV?", "TRIG:LEV %g",
        "The DXU3's trigger threshold in volts (0.05 to 5).",
        validator=strict_range, values=[0.05, 5])

    ip_address = Instrument.control(
        "SYST:COMM:LAN:IPAD?", 'SYST:COMM:LAN:IPAD "%s"',
        "The instrument's IPv4 address (used after its restart).",
        get_process=lambda v: v.strip('"'))

    def check_errors(self):
        """Reads the error queue empty; returns [(code, text), ...]."""
        errors = []
        while True:
            code, _, text = self.ask("SYST:ERR?").partition(",")
            if int(code) == 0:
                return errors
            errors.append((int(code), text.strip('"')))

    def save_profile(self, name):
        self.write('MEM:SAVE "%s"' % name.replace('"', '""'))

    def load_profile(self, name):
        self.write('MEM:LOAD "%s"' % name.replace('"', '""'))


def _generator(n):
    return {
        "gen%d_period" % n: Instrument.control(
            "GEN%d:PER?" % n, "GEN%d:PER %%g" % n, "Period of generator %d in seconds." % n,
            validator=strict_range, values=[0, MAX_TIME]),
        "gen%d_count" % n: Instrument.control(
            "GEN%d:COUN?" % n, "GEN%d:COUN %%d" % n, "Number of pulses of generator %d." % n,
            validator=strict_range, values=[0, MAX_PULSES], cast=int),
        "gen%d_time_base" % n: Instrument.control(
            "GEN%d:TBAS?" % n, "GEN%d:TBAS %%g" % n, "Tick of generator %d in seconds." % n,
            validator=strict_discrete_set, values=TIME_BASES),
        "gen%d_source" % n: Instrument.control(
            "GEN%d:SOUR?" % n, "GEN%d:SOUR %%s" % n, "Start source of generator %d." % n,
            validator=strict_discrete_set, values=SOURCES[n], cast=str),
        "gen%d_enabled" % n: Instrument.setting(
            "GEN%d:STAT %%d" % n, "Runs (True) or stops (False) generator %d." % n,
            validator=strict_discrete_set, values={True: 1, False: 0}, map_values=True),
    }


def _channel(c):
    return {
        "ch%d_delay" % c: Instrument.control(
            "CHAN%d:DEL?" % c, "CHAN%d:DEL %%g" % c, "Delay of channel %d in seconds." % c,
            validator=strict_range, values=[0, MAX_TIME]),
        "ch%d_width" % c: Instrument.control(
            "CHAN%d:WIDT?" % c, "CHAN%d:WIDT %%g" % c, "Width of channel %d in seconds." % c,
            validator=strict_range, values=[0, MAX_TIME]),
    }


for _properties in [_generator(1), _generator(2)] + [_channel(c) for c in range(1, 5)]:
    for _name, _property in _properties.items():
        setattr(DXU, _name, _property)
